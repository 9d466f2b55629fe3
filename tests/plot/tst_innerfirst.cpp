#include "plottext.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

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

class TestInnerFirst : public QObject
{
    Q_OBJECT
private slots:
    void cases_data();
    void cases();
    void sameAsReference();

private:
    PltSolve solve;
};

// Paths by letter: O outer, M middle, I and J inner, A away, L flat line
// inside O, D the diagonal of O (same box).
void TestInnerFirst::cases_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("outer first") << "OI" << "IO";
    QTest::newRow("inners grouped before outer") << "OIAJ" << "IJOA";
    QTest::newRow("three nested outermost first") << "OMI" << "IMO";
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

void TestInnerFirst::cases()
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
        PlotPath p = kind == 2 ? shapeIn(5000 * rng.bounded(3) + d, d, 4000 - 2 * d, 4000 - 2 * d)
                               : shapeIn(x, y, (1 + rng.bounded(8)) * 10, (1 + rng.bounded(8)) * 10);
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

void TestInnerFirst::sameAsReference()
{
    QRandomGenerator rng(1);
    for (int round = 0; round < 600; ++round) {
        const PlotPathList list = randomList(rng, round % 3);
        QCOMPARE(pens(solve.orderInnerFirst(list)), pens(referenceOrder(solve, list)));
    }
}

QTEST_GUILESS_MAIN(TestInnerFirst)
#include "tst_innerfirst.moc"
