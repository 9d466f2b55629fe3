// The lines preview: zoom, pan and resize arithmetic, the picture it paints,
// and the batched drawing against one drawLine per segment.
#include "lineview.h"
#include "segmentbysegment.h"

#include <QtTest>

#include <random>

class TestLineView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void zoomStepsAndLowerLimit();
    void zoomKeepsPointUnderCursor_data();
    void zoomKeepsPointUnderCursor();
    void wheelIgnoredWhileDragging();
    void dragPansAndReleaseOutsideKeepsOffset();
    void rightButtonNeitherDragsNorBlocksWheel();
    void resizeResetsPanKeepsZoom();
    void emptyShowsBackgroundAndBed();
    void colourAndDashByPen_data();
    void colourAndDashByPen();
    void batchedMatchesSegmentBySegment_data();
    void batchedMatchesSegmentBySegment();
    void coordinatesBeyondIntRangeAreSafe();
    void pictureFollowsEveryChangeOfPaths();

private:
    LineView *view = nullptr;
    int paints = 0;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheel(QPoint pos, int delta);
    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held);
};

void TestLineView::initTestCase()
{
    Q_INIT_RESOURCE(cutterdesk); // the bed picture
}

void TestLineView::init()
{
    view = new LineView;
    view->resize(400, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->installEventFilter(this);
    paints = 0;
}

void TestLineView::cleanup()
{
    delete view;
    view = nullptr;
}

bool TestLineView::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        ++paints;
    return false;
}

void TestLineView::wheel(QPoint pos, int delta)
{
    QWheelEvent event(QPointF(pos), QPointF(view->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
}

void TestLineView::mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(pos), QPointF(view->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

void TestLineView::zoomStepsAndLowerLimit()
{
    const int x0 = view->offsetX, y0 = view->offsetY;
    wheel(QPoint(200, 150), -120); // towards the user: already at the smallest scale
    QCOMPARE(view->scale, 0.01);
    QCOMPARE(view->offsetX, x0);
    QCOMPARE(view->offsetY, y0);
    QCOMPARE(paints, 1);

    wheel(QPoint(200, 150), 120);
    QCOMPARE(view->scale, 0.015);
    wheel(QPoint(200, 150), -120);
    QVERIFY(view->scale < 0.01); // 0.015 - 0.005 lands just below the start
    QVERIFY(qFuzzyCompare(view->scale, 0.01));
    const double floor = view->scale;
    const int x1 = view->offsetX;
    wheel(QPoint(200, 150), -120);
    QCOMPARE(view->scale, floor);
    QCOMPARE(view->offsetX, x1);
    QCOMPARE(paints, 4);

    wheel(QPoint(200, 150), 0); // the end of a touchpad scroll zooms neither way
    QCOMPARE(view->scale, floor);
}

void TestLineView::zoomKeepsPointUnderCursor_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QList<int>>("deltas");
    QTest::newRow("centre, in") << QPoint(200, 150) << QList<int>{120};
    QTest::newRow("corner, in three times") << QPoint(3, 297) << QList<int>{120, 120, 120};
    QTest::newRow("odd pixel, in then out") << QPoint(137, 61) << QList<int>{120, 120, -120};
    QTest::newRow("origin pixel") << QPoint(0, 0) << QList<int>{120, 120};
}

void TestLineView::zoomKeepsPointUnderCursor()
{
    QFETCH(QPoint, cursor);
    QFETCH(QList<int>, deltas);
    for (int delta : deltas) {
        const double beforeX = cursor.x() / view->scale - view->offsetX;
        const double beforeY = cursor.y() / view->scale - view->offsetY;
        const double oldScale = view->scale;
        wheel(cursor, delta);
        QVERIFY(view->scale != oldScale);
        QVERIFY(qAbs(cursor.x() / view->scale - view->offsetX - beforeX) <= 1.0);
        QVERIFY(qAbs(cursor.y() / view->scale - view->offsetY - beforeY) <= 1.0);
        // The next drag starts from the zoomed offset.
        QCOMPARE(view->anchorX, view->offsetX);
        QCOMPARE(view->anchorY, view->offsetY);
    }
}

void TestLineView::wheelIgnoredWhileDragging()
{
    mouse(QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!view->zoomEnabled);
    paints = 0;
    wheel(QPoint(50, 50), 120);
    QCOMPARE(view->scale, 0.01);
    QCOMPARE(paints, 0); // not even a repaint

    mouse(QEvent::MouseButtonRelease, QPoint(50, 50), Qt::LeftButton, Qt::NoButton);
    QVERIFY(view->zoomEnabled);
    wheel(QPoint(50, 50), 120);
    QCOMPARE(view->scale, 0.015);
}

void TestLineView::dragPansAndReleaseOutsideKeepsOffset()
{
    wheel(QPoint(200, 150), 120); // scale 0.015: pixels no longer map to whole hundreds
    const int x0 = view->offsetX, y0 = view->offsetY;

    mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(view->pressX, 100);
    QCOMPARE(view->pressY, 100);
    mouse(QEvent::MouseMove, QPoint(130, 99), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->offsetX, x0 + 2000); // 30 / 0.015
    QCOMPARE(view->offsetY, y0 - 67);   // round(-66.67)
    mouse(QEvent::MouseMove, QPoint(101, 130), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->offsetX, x0 + 67); // always from the press, not the last move
    QCOMPARE(view->offsetY, y0 + 2000);
    QCOMPARE(view->anchorX, x0);

    // Released far outside the widget: the offset of the last move is kept.
    mouse(QEvent::MouseButtonRelease, QPoint(-80, 900), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(view->offsetX, x0 + 67);
    QCOMPARE(view->anchorX, x0 + 67);
    QCOMPARE(view->anchorY, y0 + 2000);

    // The next drag continues from there; a move without the button does not pan.
    mouse(QEvent::MouseMove, QPoint(300, 300), Qt::NoButton, Qt::NoButton);
    QCOMPARE(view->offsetX, x0 + 67);
    mouse(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(7, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view->offsetX, x0 + 67 - 200);
}

void TestLineView::rightButtonNeitherDragsNorBlocksWheel()
{
    const int x0 = view->offsetX;
    mouse(QEvent::MouseButtonPress, QPoint(120, 80), Qt::RightButton, Qt::RightButton);
    QVERIFY(view->zoomEnabled);
    QCOMPARE(view->pressX, 0);
    QCOMPARE(paints, 1);
    mouse(QEvent::MouseMove, QPoint(160, 80), Qt::NoButton, Qt::RightButton);
    QCOMPARE(view->offsetX, x0);
    wheel(QPoint(120, 80), 120);
    QCOMPARE(view->scale, 0.015);
    mouse(QEvent::MouseButtonRelease, QPoint(160, 80), Qt::RightButton, Qt::NoButton);
    QCOMPARE(paints, 4);
}

void TestLineView::resizeResetsPanKeepsZoom()
{
    QCOMPARE(view->offsetX, 6000);
    QCOMPARE(view->offsetY, 300 / 0.01 - 8000); // the resize on show already placed the origin
    wheel(QPoint(200, 150), 120);
    mouse(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(50, 50), Qt::LeftButton, Qt::NoButton);

    view->resize(500, 401);
    QCOMPARE(view->scale, 0.015);
    QCOMPARE(view->offsetX, 6000);
    QCOMPARE(view->anchorX, 6000);
    QCOMPARE(view->offsetY, 26733 - 8000); // 401 / 0.015 = 26733.3, truncated
    QCOMPARE(view->anchorY, 26733 - 8000);
}

static bool nearColour(QRgb pixel, QColor colour)
{
    return qAbs(qRed(pixel) - colour.red()) < 40 && qAbs(qGreen(pixel) - colour.green()) < 40
        && qAbs(qBlue(pixel) - colour.blue()) < 40;
}

void TestLineView::emptyShowsBackgroundAndBed()
{
    view->resize(500, 300);
    const QImage image = view->grab().toImage();
    // The bed spans pixels 20..420 across at the start (x -4000..36000 + 6000).
    QVERIFY(!nearColour(image.pixel(200, 150), Qt::white));
    QVERIFY(!nearColour(image.pixel(100, 40), Qt::white));
    QVERIFY(nearColour(image.pixel(460, 150), Qt::white));
    QVERIFY(nearColour(image.pixel(10, 150), Qt::white));
    QVERIFY(qGray(image.pixel(0, 150)) < 230); // the frame
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

    // Looking at plot x 59000.. and y -20000..: nowhere near the bed picture.
    view->offsetX = -59000;
    view->offsetY = -5000;
    PlotPath path;
    path.pen = pen;
    path.lineType = lineType;
    path.segments = {QLineF(60000, -20050, 75000, -20050), QLineF(75000, -20050, 90000, -20050)};
    view->paths = {path};

    const QImage image = view->grab().toImage();
    // y = -20050 lands on the middle of pixel row 150, x on 10..310.
    int coloured = 0, white = 0;
    for (int x = 20; x < 300; ++x) {
        coloured += nearColour(image.pixel(x, 150), colour);
        white += nearColour(image.pixel(x, 150), Qt::white);
    }
    if (dashed) {
        QVERIFY2(coloured > 100 && white > 40, qPrintable(QString("%1 %2").arg(coloured).arg(white)));
    } else {
        QCOMPARE(coloured, 280);
    }
    QVERIFY(nearColour(image.pixel(150, 140), Qt::white));
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
        for (int n = length(rng); n > 0; --n) {
            const QPointF q = p + QPointF(step(rng), step(rng));
            path.segments.append(QLineF(p, q));
            p = q;
        }
        if (i % 37 == 0) // the list is public: paths without segments may come
            path.segments.clear();
        paths.append(path);
        if (i % 50 == 0) // runs of one pen, as crease and cut sections give
            for (int k = 0; k < 20; ++k)
                paths.append(path);
    }
    PlotPath empty;
    empty.pen = 3;
    paths.append(empty);
    paths.append(empty);
    return paths;
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
    QImage batched(400, 300, QImage::Format_RGB32);
    QImage reference = batched;
    const auto paint = [&](QImage &image, auto draw) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.translate(offset);
        draw(painter, paths, scale);
    };
    paint(batched, drawPlotPaths);
    paint(reference, drawPlotPathsSegmentBySegment);
    QImage blank = batched;
    blank.fill(Qt::white);
    QVERIFY(batched != blank); // the paths are on screen
    QVERIFY(batched == reference);
}

void TestLineView::coordinatesBeyondIntRangeAreSafe()
{
    // A plot file may carry any number; the view must neither overflow nor
    // lose the ordinary paths drawn after such a one.
    PlotPath far;
    far.pen = 1;
    far.segments = {QLineF(0, 0, 4e12, -9e18), QLineF(-1e300, 5, 0, 0)};
    PlotPath near;
    near.pen = 2;
    near.segments = {QLineF(60000, -20050, 90000, -20050)};
    view->offsetX = -59000;
    view->offsetY = -5000;
    view->paths = {far, near};
    const QImage image = view->grab().toImage();
    QVERIFY(nearColour(image.pixel(150, 150), Qt::blue));
}

void TestLineView::pictureFollowsEveryChangeOfPaths()
{
    // The view keeps its batches between paints; whatever the main window
    // does to `paths` must still show at the next repaint.
    view->offsetX = -59000;
    view->offsetY = -5000;
    PlotPath path;
    path.pen = 2;
    path.segments = {QLineF(60000, -20050, 90000, -20050)};
    view->paths = {path};
    const auto colourAt = [&](int x, int y) { return view->grab().toImage().pixel(x, y); };
    QVERIFY(nearColour(colourAt(150, 150), Qt::blue));

    view->paths[0].pen = 3; // edited in place
    QVERIFY(nearColour(colourAt(150, 150), Qt::red));
    view->paths[0].segments[0].translate(0, -1000); // ten pixels lower
    QVERIFY(nearColour(colourAt(150, 150), Qt::white));
    QVERIFY(nearColour(colourAt(150, 160), Qt::red));

    PlotPathList same = view->paths;
    same.first().pen = 1; // a copy edited, then assigned
    view->paths = same;
    QVERIFY(nearColour(colourAt(150, 160), Qt::black));
    view->paths.clear();
    QVERIFY(nearColour(colourAt(150, 160), Qt::white));
    view->paths.append(path);
    QVERIFY(nearColour(colourAt(150, 150), Qt::blue));
}

QTEST_MAIN(TestLineView)
#include "tst_lineview.moc"
