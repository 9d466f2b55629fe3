// The plot library: PltSolve (reading plot text into paths, knife and
// close offset compensation, inner-first ordering, writing paths back as
// HPGL), sheet preparation, the pltjob tool that prints it (run as a
// process), and the simulated cutter's picture of a sheet.
#include "mdsize.h"
#include "pltsolve.h"
#include "sheet.h"
#include "simrender.h"
#include "workmodes.h"

#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

class TestPlot : public QObject
{
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void dropDegenerate_data();
    void dropDegenerate();
    void serialize_data();
    void serialize();
    void compensate_data();
    void compensate();
    void sameAsJointByJoint_data();
    void sameAsJointByJoint();
    void orderCases_data();
    void orderCases();
    void orderSameAsReference();
    void stream_data();
    void stream();
    void headerScanMatchesPattern();
    void refusesOversizedText();
    void pltjob_data();
    void pltjob();
    void simulatorDrawsWithYUp();

private:
    PltSolve solve;
    const QString box = QStringLiteral(CUTTERDESK_TEST_DATA "/plot/box.plt");
    QTemporaryDir dir;
    const QString png = dir.filePath("a.png"), svg = dir.filePath("a.svg");
    // A plot file in the test's folder holding `text`.
    QString plotFile(const QString &name, const QByteArray &text)
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName() : QString();
    }
};

// "pen/lineType/patternLength/lineTypeMode: x1,y1>x2,y2 ..." per path, joined by " | ";
// coordinates written with every digit a double holds.
static QString describe(const PlotPathList &paths)
{
    const auto exact = [](double v) { return QString::number(v, 'g', 17); };
    QStringList parts;
    for (const PlotPath &p : paths) {
        QString s = QStringLiteral("%1/%2/%3/%4:").arg(p.pen).arg(p.lineType).arg(p.patternLength).arg(p.lineTypeMode);
        for (const QLineF &l : p.segments)
            s += QStringLiteral(" %1,%2>%3,%4").arg(exact(l.x1()), exact(l.y1()), exact(l.x2()), exact(l.y2()));
        parts << s;
    }
    return parts.join(QStringLiteral(" | "));
}

// A pen 2 path through the given points (x0, y0, x1, y1, ...).
static PlotPath polyline(std::initializer_list<double> xy)
{
    PlotPath path{2, 0, 0, 0, {}};
    const std::vector<double> v(xy);
    for (size_t i = 2; i + 1 < v.size(); i += 2)
        path.segments << QLineF(v[i - 2], v[i - 1], v[i], v[i + 1]);
    return path;
}

static PlotPath rectangle(double x, double y, double w, double h)
{
    return polyline({x, y, x + w, y, x + w, y + h, x, y + h, x, y});
}

// Plot text read three ways: a section into paths (as describe() puts them),
// a whole text into its header, crease and cut sections (joined by " / "),
// and the MD header into the sheet's size ("width x height").
void TestPlot::reads_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read");
    const auto row = [](const char *reader, const char *name, const QString &text, const QString &read) {
        QTest::addRow("%s: %s", reader, name) << QString(reader) << text << read;
    };
    row("paths", "pen up away and back joins, elsewhere breaks", "PD100,200;PU0,0;PU100,200;PD300,400;PU0,0;PD5,5;",
        "0/0/0/0: 0,0>100,200 100,200>300,400 | 0/0/0/0: 0,0>5,5");
    row("paths", "spaces and decimal points skipped", "PD100.5, 2 3;", "0/0/0/0: 0,0>1005,23");
    row("paths", "lone x dropped at semicolon", "PD100;PU50,60;PD70,80;", "0/0/0/0: 50,60>70,80");
    row("paths", "unfinished point lost", "PD10,10,20,2", "0/0/0/0: 0,0>10,10");
    row("paths", "pen needs its semicolon", "SP2PD10,10;PD5,5;", "21010/0/0/0: 0,0>5,5");
    row("paths", "pen takes effect at a break", "SP1;PU0,0;PD10,0;SP2;PD20,0;PU50,0;PD60,0;",
        "1/0/0/0: 0,0>10,0 10,0>20,0 | 2/0/0/0: 50,0>60,0");
    row("paths", "LT partial keeps the mode, LT; resets", "LT2,3,4;LT1,5;PU0,0;PD10,0;LT;PU50,50;PD60,60;",
        "0/1/5/4: 0,0>10,0 | 0/0/0/0: 50,50>60,60");
    row("paths", "LT separators not collapsed", "LT3,,7;PD10,0;", "0/3/0/7: 0,0>10,0");
    row("paths", "PA follows the last PD/PU", "PD;PA10,0;PU;PA20,0;PD30,0;", "0/0/0/0: 0,0>10,0 | 0/0/0/0: 20,0>30,0");
    row("paths", "numbers read as toInt does", "PU-5,-2147483648;PD2147483648,7,1-2,3;",
        "0/0/0/0: -5,-2147483648>0,7 0,7>0,3");
    row("paths", "other instructions skipped", "IN;MD1,2,3;PR5,5;pd9,9;PU1,1;PD2,2;", "0/0/0/0: 1,1>2,2");
    row("sections", "whole file", "MD0,0,800,600,3;SP1;A;SP2;B;!PG;", "MD0,0,800,600,3; / SP1;A; / SP2;B;");
    row("sections", "header is up to the first semicolon", "IN;MD0,0,1,1,3;SP1;x", "IN; / SP1;x / ");
    row("sections", "MD broken by a line feed", "MD0,0\n;SP1;a;SP2;b;", " / SP1;a; / SP2;b;");
    row("sections", "SP2 before SP1, no end mark", "SP2;a;SP1;b;", " / SP1;b; / SP2;a;SP1;b;");
    row("sections", "alternating: each ends at its next close", "SP2;a;SP1;b;SP2;c;!PG;x",
        " / SP1;b; / SP2;a;SP1;b;SP2;c;");
    row("sections", "empty", "", " /  / ");
    row("md", "five fields", "MD0,0,4000,3000,3;SP1;", "3000 x 4000");
    row("md", "four fields, after other text", "IN;MD0,0,100,200;", "200 x 100");
    row("md", "no MD", "IN;SP1;PU0,0;", "0 x 0");
    row("md", "M not followed by D starts over", "MMD0,0,7,8,3;", "0 x 0");
    row("md", "truncated", "MD0,0,4000", "0 x 4000");
}

void TestPlot::reads()
{
    QFETCH(QString, reader);
    QFETCH(QString, text);
    const QSize md = parseMdSize(text);
    QTEST(reader == "paths"          ? describe(solve.parsePaths(text))
              : reader == "sections" ? solve.splitSections(text).join(" / ")
                                     : QString("%1 x %2").arg(md.width()).arg(md.height()),
          "read");
}

void TestPlot::dropDegenerate_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<bool>("kept");
    QTest::newRow("0.2 to 0.4 rounds together") << 0.2 << 0.4 << false;
    QTest::newRow("0.4 to 0.6 rounds apart") << 0.4 << 0.6 << true;
    QTest::newRow("-0.5 rounds up to 0") << -0.5 << 0.4 << false;
    QTest::newRow("NaN") << double(NAN) << 5.0 << false;
    QTest::newRow("beyond int range") << 3e9 << 3e9 + 1 << true;
}

// The segment is dropped from a longer path (which keeps its attributes) and
// a path left empty goes altogether.
void TestPlot::dropDegenerate()
{
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(bool, kept);
    PlotPath path{3, 4, 0, 0, {QLineF(0, 0, 0, 10), QLineF(x1, 0, x2, 0)}};
    const PlotPath lone{2, 0, 0, 0, {QLineF(x1, 0, x2, 0)}};
    const PlotPathList out = solve.dropDegenerate({path, lone});
    if (!kept)
        path.segments.removeLast();
    QCOMPARE(describe(out), describe(kept ? PlotPathList{path, lone} : PlotPathList{path}));
}

void TestPlot::serialize_data()
{
    QTest::addColumn<PlotPathList>("paths");
    QTest::addColumn<QString>("body");
    const PlotPath gap{2, 0, 0, 0, {QLineF(0, 0, 10, 0), QLineF(20, 0, 30, 0)}};
    QTest::newRow("joined path, then one with a gap") << PlotPathList{polyline({100, 200, 300, 200, 300, 400}), gap}
                                                      << "PU100,200;PD300,200,300,400;PU0,0;PD10,0;PU20,0;PD30,0;";
    QTest::newRow("halves round up") << PlotPathList{polyline({10.5, -10.5, 6, 7})} << "PU11,-10;PD6,7;";
    QTest::newRow("empty path") << PlotPathList{PlotPath()} << "";
    QTest::newRow("beyond int range")
        << PlotPathList{polyline({5e9, -5e9, 0, 0})} << "PU5000000000,-5000000000;PD0,0;";
}

void TestPlot::serialize()
{
    QFETCH(PlotPathList, paths);
    QFETCH(QString, body);
    QCOMPARE(solve.serializeCrease(paths), "IN;PA;SP1;" + body + "PU;");
    QCOMPARE(solve.serializeCut(paths), "SP2;" + body + "PU;!PG;");
    QCOMPARE(solve.serializePlain(paths), "IN;PA;" + body + "PU;");
}

void TestPlot::compensate_data()
{
    QTest::addColumn<PlotPath>("path");
    QTest::addColumn<double>("knife");
    QTest::addColumn<double>("close");
    QTest::addColumn<QString>("body");
    QTest::newRow("worked example") << polyline({0, 0, 100, 0, 100, -100}) << 10.0 << 0.0
                                    << "PU10,0;PD110,0,110,-3,108,-6,106,-8,103,-10,100,-10,100,-110;";
    QTest::newRow("counter-clockwise right angle: one step fewer")
        << polyline({0, 0, 100, 0, 100, 100}) << 10.0 << 0.0 << "PU10,0;PD110,0,109,4,107,7,104,9,100,10,100,110;";
    QTest::newRow("unjoined segments get a straight joint")
        << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 100, 0), QLineF(100, 100, 200, 100)}} << 10.0 << 0.0
        << "PU10,0;PD110,0,110,100,210,100;";
    QTest::newRow("nearly straight inner joint ends at B's end")
        << polyline({0, 0, 100, 0, 200, 10, 300, 10}) << 10.0 << 0.0 << "PU10,0;PD110,0,210,11,210,10,310,10;";
    QTest::newRow("overcut: part of the first side")
        << rectangle(0, 0, 400, 400) << 0.0 << 100.0 << "PU0,0;PD400,0,400,400,0,400,0,0,100,0;";
    QTest::newRow("overcut: exactly the first side")
        << rectangle(0, 0, 400, 400) << 0.0 << 400.0 << "PU0,0;PD400,0,400,400,0,400,0,0,400,0;";
    QTest::newRow("overcut walks over what it appended") << rectangle(0, 0, 100, 100) << 0.0 << 500.0
        << "PU0,0;PD100,0,100,100,0,100,0,0,100,0,100,100,0,100,0,0,100,0;";
    QTest::newRow("overcut: closed but not joined")
        << PlotPath{2, 0, 0, 0, {QLineF(0, 0, 100, 0), QLineF(200, 0, 300, 0), QLineF(300, 0, 0, 0)}} << 0.0 << 100.0
        << "PU0,0;PD100,0,300,0,0,0;";
}

// The cut text of one compensated path. With knife 0 the knife stage adds only
// zero-length arc segments at joined corners; left out, the overcut walk shows.
void TestPlot::compensate()
{
    QFETCH(PlotPath, path);
    QFETCH(double, knife);
    QFETCH(double, close);
    QFETCH(QString, body);
    PlotPath out = solve.compensateKnife({path}, knife, close).first();
    if (knife == 0)
        out.segments.erase(std::remove_if(out.segments.begin(), out.segments.end(),
                                          [](const QLineF &s) { return s.length() == 0; }), out.segments.end());
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
        segs << (whole ? s : QLineF(s.p1(), s.pointAt(remaining / s.length())));
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
            : turn < 90 || turn >= 270 ? 4 : turn < 120 || turn >= 240 ? 5 : turn < 150 || turn >= 210 ? 6 : 7;
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
            const auto corner = [&](int k) { return QLineF::fromPolar(500, way * 360.0 * k / sides).p2(); };
            for (int k = 0; k < sides; ++k)
                polygon.segments << QLineF(corner(k), corner(k + 1));
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

void TestPlot::sameAsJointByJoint_data()
{
    QTest::addColumn<double>("knife");
    QTest::addColumn<double>("close");
    QTest::newRow("both off: unchanged") << 0.0 << 0.0;
    QTest::newRow("knife only") << 12.0 << 0.0;
    QTest::newRow("close only") << 0.0 << 20.0;
    QTest::newRow("overcut longer than the paths") << 40.0 << 5000.0;
}

void TestPlot::sameAsJointByJoint()
{
    QFETCH(double, knife);
    QFETCH(double, close);
    const PlotPathList in = awkwardPaths();
    const PlotPathList out = solve.compensateKnife(in, knife, close);
    QCOMPARE(out.size(), in.size());
    for (int i = 0; i < in.size(); ++i) // every digit of every double
        QCOMPARE(describe({out[i]}), describe({jointByJoint(solve, in[i], knife, close)}));
}

// The ordering as a plain reading of its two phases, list operations and all:
// the reference the fast library version must match path for path. The only
// change: identical boxes (which contain each other) are never swapped, so
// the settling passes end.
static PlotPathList referenceOrder(const PltSolve &solve, PlotPathList src)
{
    PlotPathList out;
    while (!src.isEmpty()) {
        const PlotPath cur = src.takeFirst();
        out.append(cur);
        const QRectF curBox = solve.boundingRect(cur);
        for (int i = 0; i < src.size();) {
            const QRectF box = solve.boundingRect(src[i]);
            if (curBox.contains(box))
                out.insert(out.indexOf(cur), src.takeAt(i));
            else if (box.contains(curBox))
                out.append(src.takeAt(i));
            else
                ++i;
        }
    }
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int i = 0; i + 1 < out.size(); ++i) {
            const QRectF a = solve.boundingRect(out[i]), b = solve.boundingRect(out[i + 1]);
            if (a.contains(b) && !b.contains(a)) {
                out.swapItemsAt(i, i + 1);
                swapped = true;
            }
        }
    }
    return out;
}

// Paths by letter: O outer, M middle, I and J inner, A away, L flat line
// inside O, D the diagonal of O (same box).
void TestPlot::orderCases_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("inners grouped before outer") << "OIAJ" << "IJOA";
    QTest::newRow("flat line never moves") << "OL" << "OL";
    QTest::newRow("rectangle and its diagonal") << "OD" << "DO";
    QTest::newRow("diagonal and its rectangle") << "DO" << "OD";
    QTest::newRow("equal boxes keep their order in settling") << "IODM" << "IMOD";
}

// Paths are told apart by their pen numbers, which the ordering ignores.
static QString pens(const PlotPathList &paths)
{
    QString s;
    for (const PlotPath &p : paths)
        s += QChar(p.pen);
    return s;
}

void TestPlot::orderCases()
{
    QFETCH(QString, input);
    const QMap<QChar, PlotPath> shapes{
        {'O', rectangle(0, 0, 1000, 1000)}, {'M', rectangle(50, 50, 500, 500)},
        {'I', rectangle(100, 100, 200, 200)}, {'J', rectangle(600, 600, 200, 200)},
        {'A', rectangle(2000, 0, 100, 100)}, {'L', polyline({100, 500, 900, 500})},
        {'D', polyline({0, 0, 1000, 1000})}};
    PlotPathList paths;
    for (QChar c : input) {
        paths << shapes[c];
        paths.last().pen = c.unicode();
    }
    QTEST(pens(solve.orderInnerFirst(paths)), "expected");
}

// Random lists rich in the cases that matter: nesting, shared edges,
// identical copies, equal boxes with different shapes (rectangle, diagonal),
// flat lines; then fractional coordinates with near copies; then three deep
// nests side by side in shuffled order (long runs for the settling step).
static PlotPathList randomList(QRandomGenerator &rng, int kind)
{
    PlotPathList list;
    for (int i = rng.bounded(1, kind == 2 ? 100 : 60); i > 0; --i) {
        const int shape = rng.bounded(10);
        const auto shapeIn = [shape](double x, double y, double w, double h) {
            return shape == 1 ? polyline({x, y, x + w, y})
                : shape == 2 ? polyline({x, y, x + w, y + h}) : rectangle(x, y, w, h);
        };
        const double d = 10 * rng.bounded(100), x = rng.bounded(8) * 10, y = rng.bounded(8) * 10;
        const double w = (1 + rng.bounded(8)) * 10, h = (1 + rng.bounded(8)) * 10;
        PlotPath p = kind == 2 ? shapeIn(5000 * rng.bounded(3) + d, d, 4000 - 2 * d, 4000 - 2 * d)
                               : shapeIn(x, y, w, h);
        p.pen = list.size() + 1;
        // Copies keep their source's pen: they are (fuzzy) equal to it.
        if (shape == 0 && !list.isEmpty()) {
            p = list.at(rng.bounded(list.size()));
        } else if (kind == 1 && rng.bounded(3) == 0) {
            for (QLineF &s : p.segments)
                s.translate(0.25, 0);
            if (!list.isEmpty() && rng.bounded(2)) {
                p = list.at(rng.bounded(list.size()));
                for (QLineF &s : p.segments)
                    s.setP2(s.p2() * (1 + 1e-14)); // fuzzy equal, boxes differ slightly
            }
        }
        list << p;
    }
    if (kind == 2)
        std::shuffle(list.begin(), list.end(), rng);
    return list;
}

void TestPlot::orderSameAsReference()
{
    QRandomGenerator rng(1);
    for (int round = 0; round < 600; ++round) {
        const PlotPathList list = randomList(rng, round % 3);
        QCOMPARE(pens(solve.orderInnerFirst(list)), pens(referenceOrder(solve, list)));
    }
}

static const char *kSmall = "MD0,0,4000,3000,4;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;";

// An empty job means no sheet.
void TestPlot::stream_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("network");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<int>("passes");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("job");
    const QString md = "MD0,0,4000,3000,4;";
    const QString body = "IN;PA;SP1;PU0,0;PD100,0;PU;SP2;PU0,0;PD0,100;PU;!PG;";
    const QString rotated = "IN;PA;SP1;PU0,4000;PD0,3900;PU;SP2;PU0,4000;PD100,4000;PU;!PG;";
    QTest::newRow("blank: no header") << kSmall << 0 << false << false << 1 << md << body;
    QTest::newRow("qr: digit forced to 4")
        << "MD0,0,4000,3000,5;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;" << 4 << false << false
        << 1 << "MD0,0,4000,3000,5;" << md + body;
    QTest::newRow("qr: four fields, digit added")
        << "MD0,0,4000,3000;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;" << 4 << false << false
        << 1 << "MD0,0,4000,3000;" << md + body;
    QTest::newRow("qr rotated: rebuilt with 5, sent with 4")
        << kSmall << 5 << false << true << 1 << "MD0,0,3000,4000,5;" << "MD0,0,3000,4000,4;" + rotated;
    QTest::newRow("repeats: one end mark") << kSmall << 0 << false << false << 2 << md
        << "IN;PA;SP1;PU0,0;PD100,0;PU;IN;PA;SP1;PU0,0;PD100,0;PU;SP2;PU0,0;PD0,100;PU;SP2;PU0,0;PD0,100;PU;!PG;";
    const QString nested = "MD0,0,1000,1000,3;SP2;PU0,0;PD1000,1000;PU100,100;PD200,200;!PG;";
    QTest::newRow("usb blank: inner first")
        << nested << 0 << false << false << 1 << "MD0,0,1000,1000,3;"
        << "IN;PA;SP1;PU;SP2;PU100,100;PD200,200;PU0,0;PD1000,1000;PU;!PG;";
    QTest::newRow("network blank: as read")
        << nested << 0 << true << false << 1 << "MD0,0,1000,1000,3;"
        << "IN;PA;SP1;PU;SP2;PU0,0;PD1000,1000;PU100,100;PD200,200;PU;!PG;";
    QTest::newRow("cut before crease: each tool its own lines")
        << "MD0,0,4000,3000,4;SP2;PU0,0;PD100,0;SP1;PU0,50;PD100,50;SP2;PU0,0;PD0,100;!PG;" << 0 << true << false
        << 1 << md << "IN;PA;SP1;PU0,50;PD100,50;PU;SP2;PU0,0;PD100,0;PU0,0;PD0,100;PU;!PG;";
    QTest::newRow("back to the crease after the cut: no line lost")
        << "MD0,0,4000,3000,4;SP1;PU0,50;PD100,50;SP2;PU0,0;PD100,0;SP1;PU0,60;PD100,60;SP2;PU0,0;PD0,100;!PG;" << 0
        << true << false << 1 << md << "IN;PA;SP1;PU0,50;PD100,50;PU0,60;PD100,60;PU;SP2;PU0,0;PD100,0;PU0,0;PD0,100;PU;!PG;";
    QTest::newRow("SP2 without its ';': no lines")
        << "MD0,0,4000,3000,3;\nSP2\nPU0,0;\nPD100,0;\n!PG;" << 0 << false << false << 1 << "" << "";
    QTest::newRow("rotated, MD size unreadable")
        << "MD0,0,4000.0,3000.0,3;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;" << 0 << false << true << 1 << "" << "";
    QTest::newRow("starts with IN") << "IN;" + QString(kSmall) << 2 << false << false << 1 << "" << "";
    QTest::newRow("empty") << "" << 5 << false << false << 1 << "" << "";
}

void TestPlot::stream()
{
    QFETCH(QString, text);
    QFETCH(int, mode);
    QFETCH(bool, network);
    QFETCH(int, passes);
    QFETCH(QString, job);
    SheetOptions options = sheetOptionsFor(mode, network ? SheetLink::Network : SheetLink::Usb);
    QFETCH(bool, rotate);
    options.rotate = rotate;
    options.creasePasses = options.cutPasses = passes;
    const PreparedSheet sheet = prepareSheet(text, options);
    QCOMPARE(sheet.ok, !job.isEmpty());
    QTEST(sheet.header, "header");
    QCOMPARE(sheet.jobText, job);
}

// The MD header tests scan the text once instead of using the regular
// expressions "MD.*?;" (header present) and anchored "(MD.*?;)*" (leading
// run), which are quadratic on long lines of "MD" without ';'.
void TestPlot::headerScanMatchesPattern()
{
    const QRegularExpression header(QStringLiteral("MD.*?;")), run(QStringLiteral("(MD.*?;)*"));
    const QStringList pieces = {"MD", ";", "\n", "0,", "M", "D", "x"};
    QRandomGenerator rng(5);
    for (int i = 0; i < 5000; ++i) {
        QString text;
        for (int k = rng.bounded(12); k > 0; --k)
            text += pieces.at(rng.bounded(pieces.size()));
        QCOMPARE(!solve.splitSections(text).first().isEmpty(), text.contains(header));
        QCOMPARE(leadingMdRun(text), run.match(text, 0, QRegularExpression::NormalMatch,
                                               QRegularExpression::AnchoredMatchOption).captured());
    }
}

// A pass count that would make the text pass what a QString holds gives no
// sheet instead of a failed allocation; so does a cut that compensation
// would make too long (a path that turns back at every point grows
// eightfold), counted over all paths before any is made.
void TestPlot::refusesOversizedText()
{
    SheetOptions options = sheetOptionsFor(2, SheetLink::Usb);
    options.cutPasses = 100000000;
    const PreparedSheet sheet = prepareSheet(kSmall, options);
    QVERIFY(!sheet.ok && sheet.tooLarge && sheet.jobText.isEmpty());
    options.cutPasses = 1000;
    QVERIFY(prepareSheet(kSmall, options).ok);

    const PlotPathList zigzags(2, polyline({0, 0, 100, 0, 0, 0, 100, 0}));
    const PlotPathList made = solve.compensateKnife(zigzags, 12, 0);
    const int size = made.at(0).segments.size() + made.at(1).segments.size();
    bool tooLarge = false;
    QVERIFY(solve.compensateKnife(zigzags, 12, 0, &tooLarge, size - 1).isEmpty() && tooLarge);
    QCOMPARE(solve.compensateKnife(zigzags, 12, 0, &tooLarge, size), made);
    QVERIFY(!tooLarge);
}

// pltjob prints what sheet preparation gives for the options it was given
// (by default those of mode 0 over USB), and renders cut lines blue and
// crease lines black, as the preview does; or it says why it cannot.
void TestPlot::pltjob_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("message"); // what standard error says, if anything
    SheetOptions all = sheetOptionsFor(11, SheetLink::Usb);
    all.rotate = true;
    all.knifeOffset = 0.3 * 40;
    all.closeOffset = 0.5 * 40;
    all.creasePasses = 2;
    all.cutPasses = 3;
    QTest::newRow("defaults") << QStringList{box} << 0
                              << prepareSheetFile(box, sheetOptionsFor(0, SheetLink::Usb)).jobText + '\n' << "";
    QTest::newRow("every option") << QStringList{"--mode", "11", "--rotate", "--knife", "0.3", "--close", "0.5",
                                                 "--crease-passes", "2", "--cut-passes", "3", "--png", png, "--svg",
                                                 svg, box}
                                  << 0 << prepareSheetFile(box, all).jobText + '\n' << "";
    QTest::newRow("missing file") << QStringList{"/nonexistent/a.plt"} << 1 << "" << "cannot read";
    QTest::newRow("no MD header") << QStringList{CUTTERDESK_TEST_DATA "/plot/no-header.plt"} << 1 << ""
                                  << "does not begin with an MD instruction";
    QTest::newRow("no lines") << QStringList{plotFile("no-lines.plt", "MD0,0,4000,3000,3;\nSP1;\nSP2;\n!PG;\n")}
                              << 1 << "" << "has no crease or cut lines";
    QTest::newRow("rotated without a size")
        << QStringList{"--rotate", plotFile("no-size.plt", "MD;\nSP2;\nPU0,0;PD0,100;\n!PG;\n")} << 1 << ""
        << "gives no sheet size";
    QTest::newRow("unwritable picture")
        << QStringList{"--png", "/nonexistent/dir/a.png", box} << 1 << "" << "cannot write";
    QTest::newRow("mode out of range") << QStringList{"--mode", "12", box} << 2 << "" << "--mode";
    QTest::newRow("knife beyond the form's range") << QStringList{"--knife", "2", box} << 2 << "" << "--knife";
    QTest::newRow("no file") << QStringList{} << 2 << "" << "plot file";
}

void TestPlot::pltjob()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcess p;
    p.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/tools/pltjob/pltjob"), args);
    QVERIFY(p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit);
    QTEST(p.exitCode(), "status");
    QTEST(QString::fromLatin1(p.readAllStandardOutput()), "out");
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(message.isEmpty() ? err.isEmpty() : err.contains(message), qPrintable(err));
    if (args.contains(svg)) {
        QVERIFY(!QImage(png).isNull());
        QFile file(svg); // the picture is painted once for both formats
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(content.contains("stroke=\"#0000ff\"") && content.contains("stroke=\"#000000\""));
    }
}

// The simulated cutter draws each sheet in the cutter's frame, y pointing up,
// as the preview and pltjob's pictures do: what lies near the sheet's top edge
// (large y) is near the top of the picture, what lies near x = 0 on the left.
void TestPlot::simulatorDrawsWithYUp()
{
    SimSheet sheet;
    sheet.mdSize = QSize(4000, 3000);
    sheet.lines << SimLine{QLineF(0, 2800, 4000, 2800), 2}  // cut, near the top edge
                << SimLine{QLineF(200, 0, 200, 3000), 1};   // crease, near the left edge
    const QImage image = renderSheet(sheet).convertToFormat(QImage::Format_RGB32);
    // The pixels of each colour, as one box.
    QRect blue, black;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QRect pixel(i % image.width(), i / image.width(), 1, 1);
        const QRgb p = image.pixel(pixel.topLeft());
        blue |= p == QColor(Qt::blue).rgb() ? pixel : QRect();
        black |= p == QColor(Qt::black).rgb() ? pixel : QRect();
    }
    QVERIFY2(!blue.isEmpty() && blue.bottom() < image.height() / 4, qPrintable(QString::number(blue.bottom())));
    QVERIFY(!black.isEmpty() && black.right() < image.width() / 4);
}

QTEST_GUILESS_MAIN(TestPlot)
#include "tst_plot.moc"
