#include "plottext.h"
#include "pltsolve.h"

#include <QtTest>

#include <cstring>
#include <random>

// Knife offset and close offset compensation.
class TestKnife : public QObject
{
    Q_OBJECT
private slots:
    void compensate_data();
    void compensate();
    void sameAsJointByJoint_data();
    void sameAsJointByJoint();

private:
    PltSolve solve;
};

void TestKnife::compensate_data()
{
    QTest::addColumn<PlotPath>("path");
    QTest::addColumn<double>("knife");
    QTest::addColumn<double>("close");
    QTest::addColumn<QString>("body");
    QTest::newRow("worked example") << polyline({0, 0, 100, 0, 100, -100}) << 10.0 << 0.0
                                    << "PU10,0;PD110,0,110,-3,108,-6,106,-8,103,-10,100,-10,100,-110;";
    QTest::newRow("counter-clockwise right angle: one step fewer")
        << polyline({0, 0, 100, 0, 100, 100}) << 10.0 << 0.0
        << "PU10,0;PD110,0,109,4,107,7,104,9,100,10,100,110;";
    QTest::newRow("unjoined segments get a straight joint")
        << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 100, 0), QLineF(100, 100, 200, 100)}} << 10.0 << 0.0
        << "PU10,0;PD110,0,110,100,210,100;";
    QTest::newRow("nearly straight inner joint ends at B's end")
        << polyline({0, 0, 100, 0, 200, 10, 300, 10}) << 10.0 << 0.0
        << "PU10,0;PD110,0,210,11,210,10,310,10;";
    QTest::newRow("overcut: part of the first side") << rectangle(0, 0, 400, 400) << 0.0 << 100.0
                                                     << "PU0,0;PD400,0,400,400,0,400,0,0,100,0;";
    QTest::newRow("overcut: exactly the first side") << rectangle(0, 0, 400, 400) << 0.0 << 400.0
                                                     << "PU0,0;PD400,0,400,400,0,400,0,0,400,0;";
    QTest::newRow("overcut walks over what it appended") << rectangle(0, 0, 100, 100) << 0.0 << 500.0
        << "PU0,0;PD100,0,100,100,0,100,0,0,100,0,100,100,0,100,0,0,100,0;";
    QTest::newRow("overcut: closed but not joined")
        << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 100, 0), QLineF(200, 0, 300, 0), QLineF(300, 0, 0, 0)}}
        << 0.0 << 100.0 << "PU0,0;PD100,0,300,0,0,0;";
}

// The cut text of one compensated path. With knife 0 the knife stage adds only
// zero-length arc segments at joined corners; left out, the overcut walk shows.
void TestKnife::compensate()
{
    QFETCH(PlotPath, path);
    QFETCH(double, knife);
    QFETCH(double, close);
    QFETCH(QString, body);
    PlotPath out = solve.compensateKnife({path}, knife, close).first();
    if (knife == 0)
        out.segments.erase(std::remove_if(out.segments.begin(), out.segments.end(),
                                          [](const QLineF &s) { return s.length() == 0; }),
                           out.segments.end());
    QCOMPARE(solve.serializeCut({out}), "SP2;" + body + "PU;!PG;");
}

namespace {

// The compensation done the plain way, one QLineF::angleTo and one cornerArc
// list per joint: the faster compensateKnife must give the same doubles.
PlotPath jointByJoint(const PltSolve &solve, const PlotPath &path, double knife, double close)
{
    if (knife == 0 && close == 0)
        return path;
    QVector<QLineF> segs = path.segments;
    bool joined = true;
    for (int k = 1; k < segs.size(); ++k)
        joined = joined && segs[k].p1() == segs[k - 1].p2();
    double remaining = joined && segs.last().p2() == segs.first().p1() ? close : 0;
    for (int k = 0; remaining > 0 && k < segs.size(); ++k) {
        const QLineF s = segs[k];
        if (s.p1() == s.p2())
            continue;
        const bool whole = remaining > s.length() || qFuzzyCompare(s.length(), remaining);
        segs << (whole ? s : QLineF(s.p1(), s.p1() + (remaining / s.length()) * (s.p2() - s.p1())));
        remaining = remaining > s.length() ? remaining - s.length() : 0;
    }
    auto shifted = [knife](const QLineF &s) {
        return s.length() == 0 ? s : s.translated((knife / s.length()) * (s.p2() - s.p1()));
    };
    PlotPath out = path;
    out.segments = {shifted(segs[0])};
    for (int j = 1; j < segs.size(); ++j) {
        const QLineF a = shifted(segs[j - 1]), b = shifted(segs[j]);
        const double turn = a.angleTo(b);
        const int n = turn < 30 || turn >= 330 ? 0 : turn < 60 || turn >= 300 ? 3
            : turn < 90 || turn >= 270 ? 4 : turn < 120 || turn >= 240 ? 5
            : turn < 150 || turn >= 210 ? 6 : 7;
        if (n == 0)
            out.segments << QLineF(a.p2(), j + 1 < segs.size() ? b.p2() : b.p1());
        else
            out.segments << solve.cornerArc(a, b, n);
        if (n != 0 || j + 1 == segs.size())
            out.segments << b;
    }
    return out;
}

// Closed and open paths, regular polygons whose turns fall exactly on the arc
// table's limits (both ways round), turns either side of 30 degrees,
// reversals, zero-length and very short segments, segments that do not join,
// and random paths.
PlotPathList awkwardPaths()
{
    PlotPathList paths;
    for (int sides : {3, 4, 5, 6, 8, 10, 12, 24, 36})
        for (int way : {1, -1}) {
            PlotPath polygon{2, 0, 0, 0, {}};
            for (int k = 0; k < sides; ++k)
                polygon.segments << QLineF(QLineF::fromPolar(500, way * 360.0 * k / sides).p2(),
                                           QLineF::fromPolar(500, way * 360.0 * (k + 1) / sides).p2());
            polygon.segments.last().setP2(polygon.segments.first().p1());
            paths << polygon;
        }
    for (double turn : {29.9, 29.9999999, 30.0, 30.0000001, 30.1}) {
        PlotPath bends{2, 0, 0, 0, {QLineF(0, 0, 300, 0)}};
        for (double heading : {turn, 0.0, -turn, 0.0})
            bends.segments << QLineF::fromPolar(300, heading).translated(bends.segments.last().p2());
        paths << bends;
    }
    paths << polyline({0, 0, 400, 0, 0, 0, 400, 0}) << polyline({0, 0, 100, 0, 100, 0, 100, 100})
          << polyline({0, 0, 1e-7, 0, 1e-7, 1e-7})
          << PlotPath{2, 1, 2.5, 1, {QLineF(0, 0, 100, 0), QLineF(100, 100, 200, 100)}};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coordinate(-3000, 3000);
    for (int i = 0; i < 300; ++i) {
        PlotPath path{2, 0, 0, 0, {}};
        QPointF p(std::round(coordinate(rng)), coordinate(rng));
        for (int k = 1 + int(rng() % 30); k > 0; --k) {
            const QPointF q(std::round(coordinate(rng)), std::round(coordinate(rng)) / 4);
            path.segments << QLineF(p, q);
            p = q;
        }
        if (i % 2 == 0)
            path.segments << QLineF(p, path.segments.first().p1());
        paths << path;
    }
    return paths;
}

} // namespace

void TestKnife::sameAsJointByJoint_data()
{
    QTest::addColumn<double>("knife");
    QTest::addColumn<double>("close");
    QTest::newRow("both off: unchanged") << 0.0 << 0.0;
    QTest::newRow("knife only") << 12.0 << 0.0;
    QTest::newRow("close only") << 0.0 << 20.0;
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
        const bool same = out[i].pen == expected.pen && out[i].lineType == expected.lineType
            && out[i].patternLength == expected.patternLength
            && out[i].segments.size() == expected.segments.size()
            && std::memcmp(out[i].segments.constData(), expected.segments.constData(),
                           sizeof(QLineF) * size_t(expected.segments.size())) == 0;
        QVERIFY2(same, qPrintable(QStringLiteral("path %1: %2\nexpected %3")
                                      .arg(i).arg(describe({out[i]}), describe({expected}))));
    }
}

QTEST_GUILESS_MAIN(TestKnife)
#include "tst_knife.moc"
