#include "plottext.h"
#include "pltsolve.h"

#include <QtTest>

// Knife offset and close offset compensation, compared as the HPGL that goes
// to the cutter.
class TestKnife : public QObject
{
    Q_OBJECT
private slots:
    void unchangedWhenOff();
    void overcut_data();
    void overcut();
    void knife_data();
    void knife();
    void arcSteps_data();
    void arcSteps();
    void arcPointsOnCircle();

private:
    PltSolve solve;
    // Body of the cut block: what lies between "SP2;" and "PU;!PG;".
    QString body(const PlotPathList &paths)
    {
        const QString text = solve.serializeCut(paths);
        return text.mid(4, text.size() - 4 - 7);
    }
};

void TestKnife::unchangedWhenOff()
{
    PlotPath path = rectangle(0, 0, 400, 400);
    path.lineType = 2;
    path.segments << QLineF(0.25, 0, 0.75, 0.5);
    const PlotPathList in{path};
    QCOMPARE(describe(solve.compensateKnife(in, 0, 0)), describe(in));
}

void TestKnife::overcut_data()
{
    QTest::addColumn<PlotPath>("path");
    QTest::addColumn<double>("close");
    QTest::addColumn<QString>("walked");
    const QString square = "0,0>400,0 400,0>400,400 400,400>0,400 0,400>0,0";
    QTest::newRow("part of the first side") << rectangle(0, 0, 400, 400) << 100.0
                                            << square + " 0,0>100,0";
    QTest::newRow("two sides and a half")
        << rectangle(0, 0, 400, 400) << 1000.0
        << square + " 0,0>400,0 400,0>400,400 400,400>200,400";
    QTest::newRow("walks over what it appended")
        << rectangle(0, 0, 100, 100) << 500.0
        << "0,0>100,0 100,0>100,100 100,100>0,100 0,100>0,0 "
           "0,0>100,0 100,0>100,100 100,100>0,100 0,100>0,0 0,0>100,0";
    QTest::newRow("exactly the first side") << rectangle(0, 0, 400, 400) << 400.0
                                            << square + " 0,0>400,0";
    QTest::newRow("open path") << polyline({0, 0, 400, 0, 400, 400}) << 100.0
                               << "0,0>400,0 400,0>400,400";
    // The gap is bridged by the straight joint, but nothing is appended.
    QTest::newRow("closed but not joined")
        << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 100, 0), QLineF(200, 0, 300, 0), QLineF(300, 0, 0, 0)}}
        << 100.0 << "0,0>100,0 100,0>300,0 300,0>0,0";
}

// With knife 0 the knife stage adds only zero-length arc segments at joined
// corners; without them the overcut walk's result shows.
void TestKnife::overcut()
{
    QFETCH(PlotPath, path);
    QFETCH(double, close);
    QFETCH(QString, walked);
    const PlotPath out = solve.compensateKnife({path}, 0, close).first();
    PlotPath kept;
    kept.pen = out.pen;
    for (const QLineF &s : out.segments)
        if (s.length() > 0)
            kept.segments << s;
    QCOMPARE(describe({kept}), "2/0/0/0: " + walked);
}

void TestKnife::knife_data()
{
    QTest::addColumn<PlotPath>("path");
    QTest::addColumn<double>("knife");
    QTest::addColumn<double>("close");
    QTest::addColumn<QString>("body");
    QTest::newRow("worked example") << polyline({0, 0, 100, 0, 100, -100}) << 10.0 << 0.0
                                    << "PU10,0;PD110,0,110,-3,108,-6,106,-8,103,-10,100,-10,100,-110;";
    QTest::newRow("single segment moved 1 mm") << polyline({0, 0, 100, 0}) << 40.0 << 0.0
                                               << "PU40,0;PD140,0;";
    QTest::newRow("unjoined segments get a straight joint")
        << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 100, 0), QLineF(100, 100, 200, 100)}} << 10.0 << 0.0
        << "PU10,0;PD110,0,110,100,210,100;";
    QTest::newRow("nearly straight inner joint ends at B's end")
        << polyline({0, 0, 100, 0, 200, 10, 300, 10}) << 10.0 << 0.0
        << "PU10,0;PD110,0,210,11,210,10,310,10;";
    QTest::newRow("knife 0 with overcut repeats corner points")
        << polyline({0, 0, 400, 0, 400, 400}) << 0.0 << 100.0
        << "PU0,0;PD400,0,400,0,400,0,400,0,400,0,400,400;";
}

void TestKnife::knife()
{
    QFETCH(PlotPath, path);
    QFETCH(double, knife);
    QFETCH(double, close);
    QFETCH(QString, body);
    QCOMPARE(this->body(solve.compensateKnife({path}, knife, close)), body);
}

void TestKnife::arcSteps_data()
{
    QTest::addColumn<PlotPath>("path");
    QTest::addColumn<int>("arcSegments");
    // y up: east then south turns clockwise, east then north counter-clockwise.
    QTest::newRow("clockwise right angle") << polyline({0, 0, 400, 0, 400, -400}) << 5;
    QTest::newRow("counter-clockwise right angle") << polyline({0, 0, 400, 0, 400, 400}) << 4;
    QTest::newRow("20 degree bend")
        << polyline({0, 0, 400, 0, 400 + 400 * std::cos(qDegreesToRadians(20.0)),
                     400 * std::sin(qDegreesToRadians(20.0))})
        << 0;
    QTest::newRow("reversal") << polyline({0, 0, 400, 0, 0, 0}) << 7;
    QTest::newRow("clockwise 45") << polyline({0, 0, 400, 0, 800, -400}) << 3;
    QTest::newRow("counter-clockwise 140") << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 400, 0),
                                                      QLineF::fromPolar(400, 220).translated(400, 0)}}
                                           << 6;
}

void TestKnife::arcSteps()
{
    QFETCH(PlotPath, path);
    QFETCH(int, arcSegments);
    const PlotPath out = solve.compensateKnife({path}, 40, 0).first();
    // A, the arc (or the straight joint to B's start), B.
    QCOMPARE(out.segments.size(), 2 + (arcSegments ? arcSegments : 1));
    for (int k = 1; k < out.segments.size(); ++k)
        QVERIFY(out.segments[k].p1() == out.segments[k - 1].p2());
}

void TestKnife::arcPointsOnCircle()
{
    const PlotPath out = solve.compensateKnife({polyline({0, 0, 400, 0, 400, -400})}, 40, 0).first();
    QCOMPARE(out.segments.first(), QLineF(40, 0, 440, 0));
    QCOMPARE(out.segments.last(), QLineF(400, -40, 400, -440));
    for (int k = 1; k <= 5; ++k)
        QVERIFY(qAbs(QLineF(QPointF(400, 0), out.segments[k].p2()).length() - 40) < 1e-9);
}

QTEST_GUILESS_MAIN(TestKnife)
#include "tst_knife.moc"
