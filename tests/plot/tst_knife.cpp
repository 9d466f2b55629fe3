#include "plottext.h"
#include "pltsolve.h"

#include <QtTest>

#include <cstring>
#include <random>

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
    void sameAsJointByJoint_data();
    void sameAsJointByJoint();

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

namespace {

// The compensation done the plain way, one QLineF::angleTo and one cornerArc
// list per joint: the faster compensateKnife must give the same doubles.
PlotPath jointByJoint(const PltSolve &solve, const PlotPath &path, double knife, double close)
{
    QVector<QLineF> segs = path.segments;
    bool joined = true;
    for (int k = 1; k < segs.size(); ++k)
        joined = joined && segs[k].p1() == segs[k - 1].p2();
    if (close > 0 && joined && segs.last().p2() == segs.first().p1()) {
        double remaining = close;
        for (int k = 0; k < segs.size(); ++k) {
            const QLineF s = segs[k];
            if (s.p1() == s.p2())
                continue;
            if (remaining > s.length()) {
                segs << s;
                remaining -= s.length();
                continue;
            }
            const bool whole = qFuzzyCompare(s.length(), remaining);
            segs << (whole ? s : QLineF(s.p1(), s.p1() + (remaining / s.length()) * (s.p2() - s.p1())));
            break;
        }
    }
    auto shifted = [knife](const QLineF &s) {
        return s.length() == 0 ? s : s.translated((knife / s.length()) * (s.p2() - s.p1()));
    };
    PlotPath out = path;
    out.segments = {shifted(segs[0])};
    for (int j = 1; j < segs.size(); ++j) {
        const QLineF a = shifted(segs[j - 1]);
        const QLineF b = shifted(segs[j]);
        const double turn = a.angleTo(b);
        const int n = turn < 30 || turn >= 330 ? 0 : turn < 60 || turn >= 300 ? 3
            : turn < 90 || turn >= 270 ? 4 : turn < 120 || turn >= 240 ? 5
            : turn < 150 || turn >= 210 ? 6 : 7;
        if (n == 0 && j + 1 < segs.size()) {
            out.segments << QLineF(a.p2(), b.p2());
            continue;
        }
        out.segments << (n == 0 ? QVector<QLineF>{QLineF(a.p2(), b.p1())} : solve.cornerArc(a, b, n)) << b;
    }
    return out;
}

bool sameBits(const PlotPath &a, const PlotPath &b)
{
    return a.pen == b.pen && a.lineType == b.lineType && a.lineTypeMode == b.lineTypeMode
        && std::memcmp(&a.patternLength, &b.patternLength, sizeof(double)) == 0
        && a.segments.size() == b.segments.size()
        && std::memcmp(a.segments.constData(), b.segments.constData(),
                       sizeof(QLineF) * size_t(a.segments.size())) == 0;
}

// Paths that reach every branch: closed and open, regular polygons whose turns
// fall exactly on the arc table's limits, reversals, straight runs, segments
// that do not join, very short and fractional segments.
PlotPathList awkwardPaths()
{
    PlotPathList paths;
    for (int sides : {3, 4, 5, 6, 8, 10, 12, 24, 36}) {
        PlotPath polygon;
        polygon.pen = 2;
        for (int k = 0; k < sides; ++k)
            polygon.segments << QLineF(QLineF::fromPolar(500, 360.0 * k / sides).p2(),
                                       QLineF::fromPolar(500, 360.0 * (k + 1) / sides).p2());
        polygon.segments.last().setP2(polygon.segments.first().p1());
        paths << polygon;
        std::reverse(polygon.segments.begin(), polygon.segments.end());
        for (QLineF &s : polygon.segments)
            s = QLineF(s.p2(), s.p1());
        paths << polygon;
    }
    // Turns either side of 30 degrees, both ways round.
    for (double turn : {29.8, 29.9, 29.95, 29.9999999, 30.0, 30.0000001, 30.1}) {
        PlotPath bends;
        bends.pen = 2;
        QPointF p(0, 0);
        for (double heading : {0.0, turn, 0.0, -turn, 0.0}) {
            const QLineF s = QLineF::fromPolar(300, heading).translated(p);
            bends.segments << s;
            p = s.p2();
        }
        paths << bends;
    }
    paths << polyline({0, 0, 400, 0, 0, 0, 400, 0}) << polyline({0, 0, 100, 0, 200, 0, 300, 0})
          << polyline({0, 0, 1e-7, 0, 1e-7, 1e-7})
          << polyline({1000, 1000, 1100, 1000, 1100, 1000 + 1e-10, 1200, 1000 + 1e-10, 1200, 1100})
          << PlotPath{2, 1, 2.5, 1, {QLineF(0, 0, 100, 0), QLineF(100, 100, 200, 100)}};
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> count(1, 30);
    std::uniform_real_distribution<double> coordinate(-3000, 3000);
    for (int i = 0; i < 300; ++i) {
        PlotPath path;
        path.pen = 2;
        QPointF p(std::round(coordinate(rng)), coordinate(rng));
        const QPointF start = p;
        for (int k = count(rng); k > 0; --k) {
            const QPointF q(std::round(coordinate(rng)), std::round(coordinate(rng)) / 4);
            path.segments << QLineF(p, q);
            p = q;
        }
        if (i % 2 == 0)
            path.segments << QLineF(p, start);
        paths << path;
    }
    return paths;
}

} // namespace

void TestKnife::sameAsJointByJoint_data()
{
    QTest::addColumn<double>("knife");
    QTest::addColumn<double>("close");
    QTest::newRow("knife only") << 12.0 << 0.0;
    QTest::newRow("close only") << 0.0 << 20.0;
    QTest::newRow("both") << 12.0 << 20.0;
    QTest::newRow("overcut longer than the paths") << 40.0 << 5000.0;
}

void TestKnife::sameAsJointByJoint()
{
    QFETCH(double, knife);
    QFETCH(double, close);
    const PlotPathList in = awkwardPaths();
    const PlotPathList out = solve.compensateKnife(in, knife, close);
    QCOMPARE(out.size(), in.size());
    for (int i = 0; i < in.size(); ++i) {
        const PlotPath expected = jointByJoint(solve, in[i], knife, close);
        QVERIFY2(sameBits(out[i], expected),
                 qPrintable(QStringLiteral("path %1: %2\nexpected %3")
                                .arg(i).arg(describe({out[i]}), describe({expected}))));
    }
}

QTEST_GUILESS_MAIN(TestKnife)
#include "tst_knife.moc"
