#include "plottext.h"
#include "pltsolve.h"

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
            if (curBox.contains(box)) {
                out.insert(out.indexOf(cur), src.takeAt(i));
            } else if (box.contains(curBox)) {
                out.append(src.takeAt(i));
            } else {
                ++i;
            }
        }
    }
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int i = 0; i + 1 < out.size(); ++i) {
            const QRectF a = solve.boundingRect(out[i]);
            const QRectF b = solve.boundingRect(out[i + 1]);
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
    void sameAsReference_data();
    void sameAsReference();
    void deepNesting();

private:
    PltSolve solve;
};

// Names in the expected order refer to the paths of the input by name.
void TestInnerFirst::cases_data()
{
    QTest::addColumn<PlotPathList>("paths");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("expected");
    const PlotPath outer = rectangle(0, 0, 1000, 1000);
    const PlotPath inner = rectangle(100, 100, 200, 200);
    const PlotPath inner2 = rectangle(600, 600, 200, 200);
    const PlotPath middle = rectangle(50, 50, 500, 500);
    const PlotPath away = rectangle(2000, 0, 100, 100);
    const PlotPath line = polyline({100, 500, 900, 500});
    const PlotPath diagonal = polyline({0, 0, 1000, 1000});
    QTest::newRow("outer first") << PlotPathList{outer, inner} << "O I" << "I O";
    QTest::newRow("inner first stays") << PlotPathList{inner, outer} << "I O" << "I O";
    QTest::newRow("disjoint keep order") << PlotPathList{away, inner} << "A I" << "A I";
    QTest::newRow("inners grouped before outer")
        << PlotPathList{outer, inner, away, inner2} << "O I A J" << "I J O A";
    QTest::newRow("three nested outermost first")
        << PlotPathList{outer, middle, inner} << "O M I" << "I M O";
    QTest::newRow("flat line never moves") << PlotPathList{outer, line} << "O L" << "O L";
    QTest::newRow("rectangle and its diagonal") << PlotPathList{outer, diagonal} << "O D" << "D O";
    QTest::newRow("diagonal and its rectangle") << PlotPathList{diagonal, outer} << "D O" << "O D";
    QTest::newRow("equal boxes keep their order in settling")
        << PlotPathList{inner, outer, diagonal, middle} << "I O D M" << "I M O D";
    QTest::newRow("unrelated path blocks settling")
        << PlotPathList{inner, outer, away, inner2} << "Z O W I" << "Z O W I";
    QTest::newRow("empty") << PlotPathList{} << "" << "";
}

void TestInnerFirst::cases()
{
    QFETCH(PlotPathList, paths);
    QFETCH(QString, names);
    QFETCH(QString, expected);
    const QStringList nameList = names.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const PlotPathList ordered = solve.orderInnerFirst(paths);
    QStringList got;
    for (const PlotPath &p : ordered)
        got << nameList.at(paths.indexOf(p));
    QCOMPARE(got.join(QLatin1Char(' ')), expected);
    QCOMPARE(describe(ordered), describe(referenceOrder(solve, paths)));
}

// Random lists rich in the cases that matter: nesting, shared edges,
// identical copies, equal boxes with different shapes, flat lines, and (in
// some lists) fractional coordinates with near copies.
static PlotPathList randomList(QRandomGenerator &rng, int size, bool fractional)
{
    PlotPathList list;
    for (int i = 0; i < size; ++i) {
        const int kind = rng.bounded(10);
        if (kind == 0 && !list.isEmpty()) {
            list << list.at(rng.bounded(list.size())); // identical copy
            continue;
        }
        const double x = rng.bounded(8) * 10, y = rng.bounded(8) * 10;
        const double w = (1 + rng.bounded(8)) * 10, h = (1 + rng.bounded(8)) * 10;
        PlotPath p;
        if (kind == 1)
            p = polyline({x, y, x + w, y}); // flat
        else if (kind == 2)
            p = polyline({x, y, x + w, y + h}); // diagonal: same box as the rectangle
        else
            p = rectangle(x, y, w, h);
        p.pen = 1 + rng.bounded(2);
        if (fractional && rng.bounded(3) == 0) {
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
    return list;
}

// Three deep nests side by side in shuffled order, with copies, diagonals and
// lines: long runs for the settling step, and unrelated paths between them.
static PlotPathList concentricList(QRandomGenerator &rng, int size)
{
    PlotPathList list;
    for (int i = 0; i < size; ++i) {
        const double d = 10 * rng.bounded(size);
        const double x = 5000 * rng.bounded(3);
        switch (rng.bounded(8)) {
        case 0: list << polyline({x + d, d, x + 4000 - d, 4000 - d}); break;
        case 1: list << polyline({x + d, 2000, x + 4000 - d, 2000}); break;
        default: list << rectangle(x + d, d, 4000 - 2 * d, 4000 - 2 * d); break;
        }
    }
    std::shuffle(list.begin(), list.end(), rng);
    return list;
}

void TestInnerFirst::sameAsReference_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<bool>("fractional");
    QTest::addColumn<bool>("concentric");
    for (int seed = 1; seed <= 5; ++seed) {
        QTest::addRow("integer %d", seed) << seed << false << false;
        QTest::addRow("fractional %d", seed) << seed << true << false;
        QTest::addRow("concentric %d", seed) << seed << false << true;
    }
}

void TestInnerFirst::sameAsReference()
{
    QFETCH(int, seed);
    QFETCH(bool, fractional);
    QFETCH(bool, concentric);
    QRandomGenerator rng(seed);
    for (int round = 0; round < (concentric ? 5 : 60); ++round) {
        const PlotPathList list = concentric ? concentricList(rng, rng.bounded(20, 100))
                                             : randomList(rng, rng.bounded(1, 60), fractional);
        QCOMPARE(describe(solve.orderInnerFirst(list)), describe(referenceOrder(solve, list)));
    }
}

// Thousands of levels given outermost first come out innermost first (the
// settling step must not be quadratic in practice; this stays fast).
void TestInnerFirst::deepNesting()
{
    const int depth = 10000;
    PlotPathList list;
    for (int i = 0; i < depth; ++i)
        list << rectangle(i, i, 2 * (depth - i), 2 * (depth - i));
    const PlotPathList ordered = solve.orderInnerFirst(list);
    QCOMPARE(ordered.size(), depth);
    for (int i = 0; i < depth; ++i)
        QVERIFY(ordered.at(i) == list.at(depth - 1 - i));
}

QTEST_GUILESS_MAIN(TestInnerFirst)
#include "tst_innerfirst.moc"
