// The views and the main window's preview: zoom, pan and resize arithmetic,
// the picture, the batched drawing against one drawLine per segment, the
// preview source against the plot reader, the route and knife pictures, and
// the window's option slots.
#include "cutview.h"
#include "knifeview.h"
#include "lineview.h"
#include "mainwidget.h"
#include "preview.h"
#include "segmentbysegment.h"
#include "sheet.h"
#include "workmodes.h"

#include <QtTest>
#include <QtWidgets>

#include <random>

using Points = QList<QPoint>;
// A route sample: the switches, then points that are dark, light, red (the
// overcut, with close offset) and not red.
struct Route
{
    bool knife, close;
    Points dark, light, red, notRed;
};
Q_DECLARE_METATYPE(Route)

static bool isRed(QRgb p) { return qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110; }

// Thin antialiased curves: the darkest non-red pixel of the 3 x 3 block.
static bool darkNear(const QImage &image, QPoint p)
{
    int darkest = 255;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (!isRed(image.pixel(p + QPoint(dx, dy))))
                darkest = qMin(darkest, qGray(image.pixel(p + QPoint(dx, dy))));
    return darkest < 100;
}

// Two creases and two cut paths, the first of them closed.
static const QByteArray boxPlot = "MD0,0,4000,3000,4;\nSP1;\nPU400,1000;PD3600,1000;\n"
                                  "PU1400,400;PD1400,2600;\nSP2;\n"
                                  "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n"
                                  "PU2600,1400;PD3000,1600;\n!PG;\n";

class TestViews : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { delete view; }
    void wheelZoomsAndDragPans();
    void pictureFollowsPensPathsAndSwitches();
    void batchedMatchesSegmentBySegment();
    void sourceReadsAsThePlotReader();
    void routeSampleAndKnife_data();
    void routeSampleAndKnife();
    void windowPreviewFollowsTheOptions();

private:
    void wheel(QPoint pos, int delta)
    {
        QWheelEvent e(pos, view->mapToGlobal(pos), {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(view, &e);
    }
    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, pos, view->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    }
    QRgb pixel(int x, int y) { return view->grab().toImage().pixel(x, y); }

    LineView *view = nullptr;
    QTemporaryDir dir;
    const QString plot = dir.filePath(QStringLiteral("box.plt"));
};

void TestViews::initTestCase()
{
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
    QFile f(plot);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(boxPlot) == boxPlot.size());
}

void TestViews::init()
{
    view = new LineView;
    view->resize(400, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void TestViews::wheelZoomsAndDragPans()
{
    QCOMPARE(view->offsetY, 300 / 0.01 - 8000); // placed by the resize on show
    // Out at the start (refused), in three steps at a corner, in and out at an
    // odd pixel, and a zero delta (the end of a touchpad scroll) that zooms
    // neither way: the plot point under the cursor stays there, and the next
    // drag starts from it.
    const QList<QPair<QPoint, int>> steps = {{{200, 150}, -120}, {{3, 297}, 120}, {{3, 297}, 120},
        {{3, 297}, 120}, {{137, 61}, 120}, {{137, 61}, -120}, {{137, 61}, 0}};
    const auto plotAt = [&](QPoint p) { return QPointF(p) / view->scale - QPointF(view->offsetX, view->offsetY); };
    for (const auto &[cursor, delta] : steps) {
        const QPointF before = plotAt(cursor);
        wheel(cursor, delta);
        const QPointF moved = plotAt(cursor) - before;
        QVERIFY(qAbs(moved.x()) <= 1.0 && qAbs(moved.y()) <= 1.0);
        QCOMPARE(QPoint(view->anchorX, view->anchorY), QPoint(view->offsetX, view->offsetY));
    }
    QVERIFY(qFuzzyCompare(view->scale, 0.025));
    for (int i = 0; i < 5; ++i) // never below the start, however the steps round
        wheel(QPoint(200, 150), -120);
    QVERIFY(qFuzzyCompare(view->scale, 0.01));

    // While the left button is held (a drag) the wheel does nothing.
    mouse(QEvent::MouseButtonPress, QPoint(50, 60), Qt::LeftButton, Qt::LeftButton);
    wheel(QPoint(50, 60), 120);
    QVERIFY(qFuzzyCompare(view->scale, 0.01));
    mouse(QEvent::MouseButtonRelease, QPoint(50, 60), Qt::LeftButton, Qt::NoButton);
    wheel(QPoint(50, 60), 120);
    QVERIFY(qFuzzyCompare(view->scale, 0.015)); // a pixel is 66.67 units

    // A drag pans from where it began.
    const QPoint start(view->offsetX, view->offsetY);
    const auto offset = [&] { return QPoint(view->offsetX, view->offsetY) - start; };
    mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(130, 99), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(offset(), QPoint(2000, -67));
    mouse(QEvent::MouseMove, QPoint(101, 130), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(offset(), QPoint(67, 2000)); // from the press, not the last move
    // Released far outside: the offset of the last move is kept.
    mouse(QEvent::MouseButtonRelease, QPoint(-80, 900), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(QPoint(view->anchorX, view->anchorY) - start, QPoint(67, 2000));

    view->resize(500, 401); // pan reset, zoom kept; 401 / 0.015 = 26733.3 truncated
    QCOMPARE(view->scale, 0.015);
    QCOMPARE(QList<int>({view->offsetX, view->anchorX, view->offsetY, view->anchorY}),
             QList<int>({6000, 6000, 26733 - 8000, 26733 - 8000}));
}

void TestViews::pictureFollowsPensPathsAndSwitches()
{
    QVERIFY(pixel(200, 150) != qRgb(255, 255, 255)); // the bed picture at the starting offset
    // Plot x 60000..90000 is pixels 10..310 and y -20050 the middle of pixel
    // row 150, far from the bed picture.
    view->offsetX = -59000, view->offsetY = -5000;
    PlotPath path{2, 0, 0, 0, {QLineF(60000, -20050, 75000, -20050), QLineF(75000, -20050, 90000, -20050)}};
    view->paths = {path};
    QCOMPARE(pixel(150, 150), qRgb(0, 0, 255));
    // The view keeps its batches between paints; whatever is done to `paths`
    // shows at the next repaint.
    view->paths[0].pen = 3;
    QCOMPARE(pixel(150, 150), qRgb(255, 0, 0));
    view->paths[0].segments[1].translate(0, -1000); // ten pixels lower
    QVERIFY(pixel(200, 150) == qRgb(255, 255, 255) && pixel(200, 160) == qRgb(255, 0, 0));
    path.pen = 5; // any other pen is black; a line type dashes it
    path.lineType = 2;
    view->paths = {path};
    const QImage dashed = view->grab().toImage();
    int black = 0;
    for (int x = 20; x < 300; ++x)
        black += dashed.pixel(x, 150) == qRgb(0, 0, 0);
    QVERIFY(black > 100 && black < 240);
    view->paths.clear();
    QCOMPARE(pixel(150, 150), qRgb(255, 255, 255));

    // Three paths setting out to the right from pixel (10, y): the first on
    // row 150, the last on row 200.
    path = PlotPath();
    for (const double y : {-20050, -22550, -25050}) {
        path.segments = {QLineF(60000, y, 90000, y)};
        view->paths << path;
    }
    const auto white = [&](int x, int y) { return pixel(x, y) == qRgb(255, 255, 255); };
    QCOMPARE(pixel(150, 150), qRgb(0, 0, 0));
    // Each start has a dot and an arrowhead 14 pixels on, its arms 6 back and 3 aside.
    QVERIFY(white(8, 150) && white(20, 148) && white(150, 100));
    view->cutOrder = true; // the first path blue, the last red
    QCOMPARE(pixel(150, 150), QColor(Qt::blue).rgb());
    QCOMPARE(pixel(150, 200), QColor(Qt::red).rgb());
    QVERIFY(!white(8, 150) && !white(20, 148));
    view->placeOffsets = {{0, 5000}}; // 50 pixels up
    QCOMPARE(pixel(150, 100), QColor(Qt::blue).rgb());
}

static PlotPathList randomPaths(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pen(0, 4), type(0, 3), length(1, 12);
    std::uniform_real_distribution<double> start(-2000, 32000), step(-1500, 1500);
    PlotPathList paths;
    for (int i = 0; i < 400; ++i) {
        PlotPath path;
        path.pen = pen(rng);
        path.lineType = type(rng) == 3 ? 1 : 0;
        QPointF p(start(rng), -start(rng) * 0.6);
        for (int n = i % 37 ? length(rng) : 0; n > 0; --n) { // some paths without segments
            const QPointF q = p + QPointF(step(rng), step(rng));
            path.segments.append(QLineF(p, q));
            p = q;
        }
        for (int k = i % 50 ? 1 : 20; k > 0; --k) // and runs of one pen
            paths.append(path);
    }
    return paths << PlotPath();
}

// LineView as it was drawn before the batching and the switches: one
// drawLine per segment.
class PlainView : public LineView
{
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        paintBed(painter);
        drawPlotPathsSegmentBySegment(painter, paths, scale);
    }
};

// With both switches off the view draws as before, pixel for pixel: at the
// start, zoomed in, close up, and at the scale a zoom in and out leaves.
void TestViews::batchedMatchesSegmentBySegment()
{
    PlainView plain;
    plain.resize(view->size());
    plain.show(); // resized now, not at a later paint
    plain.paths = view->paths = randomPaths(7);
    const QList<QPair<double, QPoint>> views = {{0.01, {6000, 22000}}, {0.035, {-3000, 9000}},
        {0.2, {-9123, -10345}}, {0.01 + 0.005 - 0.005, {2001, 30001}}};
    for (const auto &[scale, offset] : views) {
        for (LineView *v : {static_cast<LineView *>(&plain), view})
            v->scale = scale, v->offsetX = offset.x(), v->offsetY = offset.y();
        const QImage before = plain.grab().toImage();
        QCOMPARE(view->grab().toImage(), before);
        view->cutOrder = true, view->placeOffsets = {{3000, 2000}};
        QVERIFY(view->grab().toImage() != before);
        view->cutOrder = false, view->placeOffsets.clear();
    }
    QCOMPARE(view->grab().toImage(), plain.grab().toImage()); // switched off again
    // A plot file may hold coordinates beyond the int range: clamped, so that
    // negating y cannot overflow either.
    PlotPath far;
    far.segments = {QLineF(0, 0, 4e12, -9e18), QLineF(-1e300, 5, 0, 0)};
    QCOMPARE(penRuns({far}).at(0).lines, QVector<QLine>({QLine(0, 0, INT_MAX, INT_MAX), QLine(-INT_MAX, -5, 0, 0)}));
}

// The source keeps the last file's parse and compares bytes, not text; at
// every refresh it must show what the plot reader makes of the file.
void TestViews::sourceReadsAsThePlotReader()
{
    const auto edit = [](const char *from, const char *to) { return QByteArray(boxPlot).replace(from, to); };
    const QByteArray crlf = edit("\n", "\r\n");
    const QByteArray foreign = edit("SP2;", "\xc3\xa9\xff\xe2\x82SP2;PU0,0;PD50,50;");
    const QByteArrayList files = {crlf, boxPlot, edit("PU400,1000", "PU500,1000"), boxPlot, crlf,
                                  edit("PD3600,400", "PD36\r00,400"), foreign, boxPlot, foreign, "", boxPlot};
    const QString file = dir.filePath(QStringLiteral("sheet.plt"));
    const PltSolve solve;
    PreviewSource source;
    const RouteOptions route{true}; // knife offset on
    for (const QByteArray &bytes : files) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(out.write(bytes), bytes.size());
        const QStringList sections = solve.splitSections(solve.readPlotFile(file));
        const PlotPathList expected = solve.parsePaths(sections.at(1))
            + solve.compensateKnife(solve.parsePaths(sections.at(2)), route.knifeOffsetMm * 40, 0);
        QCOMPARE(source.paths(solve, file, false, route, 40), expected);
    }
    // Gone after it was shown, a folder, or no file named: nothing.
    QVERIFY(QFile::remove(file));
    for (const QString &path : {file, dir.path(), QString()})
        QVERIFY(source.paths(solve, path, false, route, 40).isEmpty());
}

// Route sample, 200 x 200: square (40,40)-(160,160) at 20 pixels per mm, so
// knife offset 0.3 mm rounds each corner with r = 6 and close offset 0.5 mm
// is a red overcut of 10 pixels. Side view, 200 x 150: the knife holder's
// edges at x 85 and 115, or the pen's wider body.
void TestViews::routeSampleAndKnife_data()
{
    QTest::addColumn<Route>("r");
    const Points sides{{100, 40}, {160, 100}, {100, 160}, {40, 100}};
    // On the quarter arcs round each corner, and the top side run on.
    const Points route{{164, 44}, {155, 164}, {35, 155}, {44, 35}, {163, 40}};
    QTest::newRow("plain") << Route{false, false, sides, route, {}, {}};
    QTest::newRow("overcut from the corner")
        << Route{false, true, sides, route, {{42, 40}, {48, 40}}, {{37, 40}, {53, 40}}};
    QTest::newRow("knife route") << Route{true, false, sides + route, {}, {}, {}};
    QTest::newRow("overcut where the top side begins")
        << Route{true, true, sides + route, {}, {{48, 40}, {54, 40}}, {{43, 40}, {59, 40}}};
}

void TestViews::routeSampleAndKnife()
{
    QFETCH(Route, r);
    CutView cut;
    cut.resize(200, 200);
    cut.knifeOffsetOn = r.knife;
    cut.closeOffsetOn = r.close;
    const QImage image = cut.grab().toImage();
    for (const QPoint &p : r.dark)
        QVERIFY2(darkNear(image, p), qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : r.light)
        QVERIFY(qGray(image.pixel(p)) > 180);
    for (const QPoint &p : r.red)
        QVERIFY(isRed(image.pixel(p)));
    for (const QPoint &p : r.notRed)
        QVERIFY(!isRed(image.pixel(p)));
    int reds = 0;
    for (int i = 0; i < 200 * 200; ++i)
        reds += isRed(image.pixel(i % 200, i / 200));
    QCOMPARE(reds > 0, r.close);

    KnifeView side;
    side.resize(200, 150);
    side.knifeOffsetOn = r.knife;
    const QImage sideImage = side.grab().toImage();
    const Points pen{{66, 25}, {133, 25}, {83, 70}}, holder{{85, 25}, {115, 25}, {115, 75}};
    for (const QPoint &p : r.knife ? holder : pen)
        QVERIFY(darkNear(sideImage, p));
    QCOMPARE(darkNear(sideImage, {66, 25}), !r.knife);
}

// The window's preview: offsets in mm reach the cut paths as plotter units
// while ticked (creases stay), the illustrations follow; then the order the
// mode's sheets are cut in over the chosen link, turned or not, and the
// places of the matrix job (as tst_jobs has its moves for this design).
void TestViews::windowPreviewFollowsTheOptions()
{
    MainWidget w;
    auto *lines = w.findChild<LineView *>("lineView");
    auto *cut = w.findChild<CutView *>("cutview");
    const auto set = [&](const char *name, const QVariant &value) {
        QWidget *c = w.findChild<QWidget *>(name);
        QVERIFY(c->metaObject()->userProperty().write(c, value));
    };
    set("filePath", plot);
    const PlotPathList plain = lines->paths;
    QCOMPARE(plain.size(), 4);
    set("knifeOffset", 0.5);
    set("closeOffset", 1.0);
    QCOMPARE(lines->paths, plain);
    set("knifeOffsetChx", true);
    set("closeOffsetChx", true);
    QCOMPARE(lines->paths, plain.mid(0, 2) + PltSolve().compensateKnife(plain.mid(2), 20, 40));
    QVERIFY(cut->knifeOffsetOn && cut->knifeOffsetMm == 0.5 && cut->closeOffsetMm == 1.0);
    set("filePath", QString()); // the preview empties at once
    QVERIFY(lines->paths.isEmpty());
    set("knifeOffsetChx", false); // without a file the illustrations still follow
    set("closeOffsetChx", false);
    QVERIFY(!cut->knifeOffsetOn && !w.findChild<KnifeView *>("knifeview")->knifeOffsetOn);

    // An entry left in the device box is no cutter: the link's own list decides.
    auto *connect = w.findChild<QPushButton *>("connectBtn");
    w.findChild<QComboBox *>("device")->addItem(QStringLiteral("USB001"));
    set("devType", "RJ45");
    QVERIFY(connect->isEnabled() && w.findChild<QWidget *>("deviceIP")->isVisibleTo(&w));
    set("devType", "USB");
    QVERIFY(!connect->isEnabled() && !w.findChild<QWidget *>("deviceIP")->isVisibleTo(&w));

    set("filePath", plot);
    set("cutOrder", true);
    for (const bool rotate : {false, true}) {
        set("rotate", rotate);
        for (const char *link : {"RJ45", "USB"}) { // mode 01 orders only over USB
            set("devType", link);
            SheetOptions options = sheetOptionsFor(0, *link == 'U' ? SheetLink::Usb : SheetLink::Network);
            options.rotate = rotate;
            const PreparedSheet sheet = prepareSheetFile(plot, options);
            QCOMPARE(lines->paths, sheet.crease + sheet.cut);
        }
    }
    QVERIFY(lines->paths != plain && lines->cutOrder);

    set("matFour", true);
    set("matSpH", 5.0);
    set("matSpV", 2.5);
    set("matrixPlaces", true);
    QVERIFY(lines->placeOffsets.isEmpty() && !w.findChild<QWidget *>("matrixPlaces")->isEnabled()); // 01: no matrix
    QTest::mouseClick(w.findChild<QWidget *>("nextMode"), Qt::LeftButton);
    QCOMPARE(lines->placeOffsets, QVector<QPointF>({{0, 4100}, {3200, 4100}, {3200, 0}})); // turned: 3000 x 4000
    set("rotate", false);
    QCOMPARE(lines->placeOffsets, QVector<QPointF>({{0, 3100}, {4200, 3100}, {4200, 0}}));
    set("matTwo", true);
    QCOMPARE(lines->placeOffsets, QVector<QPointF>({{4200, 0}}));
}

QTEST_MAIN(TestViews)
#include "tst_views.moc"
