// The lines preview: zoom, pan and resize arithmetic, the picture it paints,
// the batched drawing against one drawLine per segment, and the preview
// source against the plot reader.
#include "lineview.h"
#include "preview.h"
#include "segmentbysegment.h"

#include <QtTest>

#include <random>

class TestLineView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(cutterdesk); } // the bed picture
    void init();
    void cleanup() { delete view; }
    void wheelZoomLimitsAndDrag();
    void zoomKeepsPointUnderCursor();
    void dragPansAndResizeResets();
    void colourAndDashByPen_data();
    void colourAndDashByPen();
    void batchedMatchesSegmentBySegment_data();
    void batchedMatchesSegmentBySegment();
    void pictureFollowsEveryChangeOfPaths();
    void sourceReadsAsThePlotReader_data();
    void sourceReadsAsThePlotReader();

private:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    void wheel(QPoint pos, int delta)
    {
        QWheelEvent e(pos, view->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &e);
    }
    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, pos, view->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    }
    QRgb pixel(int x, int y) { return view->grab().toImage().pixel(x, y); }
    // Plot x 59000.. and y ..-20000, far from the bed picture; y -20050 is
    // the middle of pixel row 150, x 60000..90000 pixels 10..310.
    void lookAwayFromBed() { view->offsetX = -59000, view->offsetY = -5000; }

    LineView *view = nullptr;
    int paints = 0;
};

void TestLineView::init()
{
    view = new LineView;
    view->resize(400, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->installEventFilter(this);
    paints = 0;
}

static bool near(QRgb pixel, QColor colour)
{
    return qAbs(qRed(pixel) - colour.red()) < 40 && qAbs(qGreen(pixel) - colour.green()) < 40
        && qAbs(qBlue(pixel) - colour.blue()) < 40;
}

static PlotPath line(int pen, int lineType, double y = -20050)
{
    PlotPath path;
    path.pen = pen;
    path.lineType = lineType;
    path.segments = {QLineF(60000, y, 75000, y), QLineF(75000, y, 90000, y)};
    return path;
}

void TestLineView::wheelZoomLimitsAndDrag()
{
    const int x0 = view->offsetX;
    wheel(QPoint(200, 150), -120); // already at the smallest scale: only a repaint
    QCOMPARE(view->scale, 0.01);
    QCOMPARE(view->offsetX, x0);
    QCOMPARE(paints, 1);
    wheel(QPoint(200, 150), 120);
    QCOMPARE(view->scale, 0.015);
    wheel(QPoint(200, 150), -120);
    const double floor = view->scale;
    QVERIFY(floor < 0.01 && qFuzzyCompare(floor, 0.01)); // 0.015 - 0.005 lands just below
    wheel(QPoint(200, 150), -120);
    wheel(QPoint(200, 150), 0); // the end of a touchpad scroll zooms neither way
    QCOMPARE(view->scale, floor);

    // Right button: no drag, the wheel still works.
    mouse(QEvent::MouseButtonPress, QPoint(120, 80), Qt::RightButton, Qt::RightButton);
    QVERIFY(view->zoomEnabled);
    QCOMPARE(view->pressX, 0);
    // Left button held: the wheel does nothing at all, not even a repaint.
    mouse(QEvent::MouseButtonPress, QPoint(50, 60), Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    QVERIFY(!view->zoomEnabled);
    paints = 0;
    wheel(QPoint(50, 60), 120);
    QCOMPARE(view->scale, floor);
    QCOMPARE(paints, 0);
    mouse(QEvent::MouseButtonRelease, QPoint(50, 60), Qt::LeftButton, Qt::RightButton);
    wheel(QPoint(50, 60), 120);
    QVERIFY(view->scale > floor);
    QCOMPARE(paints, 2);
}

void TestLineView::zoomKeepsPointUnderCursor()
{
    // In three steps at a corner, then in and out at an odd pixel.
    for (const auto &[cursor, delta] : QList<QPair<QPoint, int>>{
             {{3, 297}, 120}, {{3, 297}, 120}, {{3, 297}, 120}, {{137, 61}, 120}, {{137, 61}, -120}}) {
        const double x = cursor.x() / view->scale - view->offsetX;
        const double y = cursor.y() / view->scale - view->offsetY;
        wheel(cursor, delta);
        QVERIFY(qAbs(cursor.x() / view->scale - view->offsetX - x) <= 1.0);
        QVERIFY(qAbs(cursor.y() / view->scale - view->offsetY - y) <= 1.0);
        QCOMPARE(view->anchorX, view->offsetX); // the next drag starts from here
        QCOMPARE(view->anchorY, view->offsetY);
    }
    QVERIFY(qFuzzyCompare(view->scale, 0.025));
}

void TestLineView::dragPansAndResizeResets()
{
    QCOMPARE(view->offsetY, 300 / 0.01 - 8000); // placed by the resize on show
    wheel(QPoint(200, 150), 120);                // scale 0.015: a pixel is 66.67 units
    const int x0 = view->offsetX, y0 = view->offsetY;
    mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(130, 99), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->offsetX, x0 + 2000);
    QCOMPARE(view->offsetY, y0 - 67);
    mouse(QEvent::MouseMove, QPoint(101, 130), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->offsetX, x0 + 67); // measured from the press, not the last move
    QCOMPARE(view->offsetY, y0 + 2000);
    // Released far outside: the offset of the last move is kept.
    mouse(QEvent::MouseButtonRelease, QPoint(-80, 900), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(view->anchorX, x0 + 67);
    QCOMPARE(view->anchorY, y0 + 2000);
    mouse(QEvent::MouseMove, QPoint(300, 300), Qt::NoButton, Qt::NoButton);
    QCOMPARE(view->offsetX, x0 + 67);

    view->resize(500, 401); // pan reset, zoom kept; 401 / 0.015 = 26733.3 truncated
    QCOMPARE(view->scale, 0.015);
    QCOMPARE(QList<int>({view->offsetX, view->anchorX, view->offsetY, view->anchorY}),
             QList<int>({6000, 6000, 26733 - 8000, 26733 - 8000}));
}

void TestLineView::colourAndDashByPen_data()
{
    QTest::addColumn<int>("pen");
    QTest::addColumn<int>("lineType");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("dashed");
    QTest::newRow("crease") << 1 << 0 << QColor(Qt::black) << false;
    QTest::newRow("cut") << 2 << 0 << QColor(Qt::blue) << false;
    QTest::newRow("cut, line type 1") << 2 << 1 << QColor(Qt::blue) << true;
    QTest::newRow("pen 3") << 3 << 0 << QColor(Qt::red) << false;
    QTest::newRow("pen 5") << 5 << 0 << QColor(Qt::black) << false;
    QTest::newRow("no pen, line type 2") << 0 << 2 << QColor(Qt::black) << true;
}

void TestLineView::colourAndDashByPen()
{
    QFETCH(int, pen);
    QFETCH(int, lineType);
    QFETCH(QColor, colour);
    QFETCH(bool, dashed);
    lookAwayFromBed();
    view->paths = {line(pen, lineType)};
    const QImage image = view->grab().toImage();
    int coloured = 0, white = 0;
    for (int x = 20; x < 300; ++x) {
        coloured += near(image.pixel(x, 150), colour);
        white += near(image.pixel(x, 150), Qt::white);
    }
    QVERIFY(dashed ? coloured > 100 && white > 40 : coloured == 280);
    QVERIFY(near(image.pixel(150, 140), Qt::white));
    QVERIFY(qGray(image.pixel(0, 150)) < 230); // the frame

    // The bed picture lies behind the paths at the starting offset.
    view->offsetX = 6000, view->offsetY = 22000;
    QVERIFY(!near(view->grab().toImage().pixel(200, 150), Qt::white));
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

void TestLineView::batchedMatchesSegmentBySegment_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("offset");
    QTest::newRow("start") << 0.01 << QPointF(6000, 22000);
    QTest::newRow("zoomed in") << 0.035 << QPointF(-3000, 9000);
    QTest::newRow("close up") << 0.2 << QPointF(-9123, -10345);
    QTest::newRow("below start") << 0.01 + 0.005 - 0.005 << QPointF(2001, 30001);
}

void TestLineView::batchedMatchesSegmentBySegment()
{
    QFETCH(double, scale);
    QFETCH(QPointF, offset);
    const PlotPathList paths = randomPaths(7);
    QImage blank(400, 300, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QImage batched = blank, reference = blank;
    const auto paint = [&](QImage &image, auto draw, const PlotPathList &list) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.translate(offset);
        draw(painter, list, scale);
    };
    paint(batched, drawPlotPaths, paths);
    paint(reference, drawPlotPathsSegmentBySegment, paths);
    QVERIFY(batched != blank);
    QVERIFY(batched == reference);

    // Beyond the int range (a plot file may hold any number): clamped, not
    // overflowed (the sanitizer build checks), and what follows still drawn.
    PlotPath far;
    far.segments = {QLineF(0, 0, 4e12, -9e18), QLineF(-1e300, 5, 0, 0)};
    QImage farImage = blank;
    paint(farImage, drawPlotPaths, PlotPathList{far} + paths);
    QVERIFY(farImage != blank);
}

void TestLineView::pictureFollowsEveryChangeOfPaths()
{
    // The view keeps its batches between paints; whatever is done to
    // `paths` must still show at the next repaint.
    lookAwayFromBed();
    view->paths = {line(2, 0)};
    QVERIFY(near(pixel(150, 150), Qt::blue));
    view->paths[0].pen = 3; // edited in place
    QVERIFY(near(pixel(150, 150), Qt::red));
    view->paths[0].segments[1].translate(0, -1000); // ten pixels lower
    QVERIFY(near(pixel(200, 150), Qt::white));
    QVERIFY(near(pixel(200, 160), Qt::red));
    PlotPathList copy = view->paths;
    copy.first().pen = 1;
    view->paths = copy;
    QVERIFY(near(pixel(200, 160), Qt::black));
    view->paths.clear();
    QVERIFY(near(pixel(200, 160), Qt::white));
}

void TestLineView::sourceReadsAsThePlotReader_data()
{
    QTest::addColumn<QByteArrayList>("contents"); // the file's bytes, one refresh each
    const QByteArray plot = "MD0,0,4000,3000,4;\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\n"
                            "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n!PG;\n";
    QByteArray crlf = plot;
    crlf.replace("\n", "\r\n");
    QByteArray splitNumber = plot;
    splitNumber.replace("PD3600,400", "PD36\r00,400");
    QByteArray foreign = plot;
    foreign.replace("SP2;", "\xc3\xa9\xff\xe2\x82SP2;PU0,0;PD50,50;");
    QByteArray moved = plot;
    moved.replace("PU400,1000;PD3600,1000", "PU500,1000;PD3600,1000");
    QTest::newRow("line ends CRLF, then LF") << QByteArrayList{crlf, plot, crlf};
    QTest::newRow("CR inside a number") << QByteArrayList{plot, splitNumber};
    QTest::newRow("bytes outside ASCII") << QByteArrayList{foreign, plot, foreign};
    QTest::newRow("a coordinate changed") << QByteArrayList{plot, moved, plot};
    QTest::newRow("emptied and refilled") << QByteArrayList{plot, QByteArray(), plot};
}

// The source keeps the last file's parse and compares bytes, not text; at
// every refresh it must show what the plot reader makes of the file.
void TestLineView::sourceReadsAsThePlotReader()
{
    QFETCH(QByteArrayList, contents);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sheet.plt"));
    const PltSolve solve;
    PreviewSource source;
    RouteOptions route;
    route.knifeOffsetOn = true;
    for (const QByteArray &bytes : contents) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        out.close();
        const QStringList sections = solve.splitSections(solve.readPlotFile(file));
        const PlotPathList expected = solve.parsePaths(sections.at(1))
            + solve.compensateKnife(solve.parsePaths(sections.at(2)), route.knifeOffsetMm * 40, 0);
        QCOMPARE(source.paths(solve, file, false, route, 40), expected);
    }
}

QTEST_MAIN(TestLineView)
#include "tst_lineview.moc"
