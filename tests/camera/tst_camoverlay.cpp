// The camera view's recognition overlay on frames of the simulated camera:
// where the mark circle is drawn, which texts appear, and when nothing does.
#include "camscene.h"
#include "camview.h"

#include <QtTest>

class TestCamOverlay : public QObject
{
    Q_OBJECT
private slots:
    void recognisesSceneFrames_data();
    void recognisesSceneFrames();
    void markCircleDrawnAtMark_data();
    void markCircleDrawnAtMark();
    void nothingDrawnWithoutMarkOrSeek_data();
    void nothingDrawnWithoutMarkOrSeek();
    void repaintOfSameFrameDoesNotSearchAgain();
};

static const QByteArray qrText("box-1");

static bool isGreen(QRgb p)
{
    return qGreen(p) > 150 && qRed(p) < 110 && qBlue(p) < 110;
}

static bool isBlue(QRgb p)
{
    return qBlue(p) > 150 && qRed(p) < 110 && qGreen(p) < 110;
}

static QImage grabView(CamView &view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

static void showJpeg(CamView &view, const QImage &picture)
{
    const QByteArray jpeg = encodeCameraJpeg(picture, 80);
    view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
}

static int countPixels(const QImage &image, const QRect &area, bool (*test)(QRgb))
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

void TestCamOverlay::recognisesSceneFrames_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("polarity");
    QTest::newRow("start, dark mark") << qint64(0) << false << 0;
    QTest::newRow("later, dark mark") << qint64(4321) << false << 0;
    QTest::newRow("light mark on dark ground") << qint64(2500) << true << 1;
}

void TestCamOverlay::recognisesSceneFrames()
{
    QFETCH(qint64, ms);
    QFETCH(bool, inverted);
    QFETCH(int, polarity);
    const CamScene scene(qrText);
    QImage picture = scene.frame(ms, 7);
    if (inverted)
        picture.invertPixels();
    const QByteArray jpeg = encodeCameraJpeg(picture, 80);
    const CamRecognition found = CamView::recognise(QImage::fromData(jpeg));
    QVERIFY(found.hasMark());
    const QPoint centre = scene.discCentre(ms);
    QVERIFY2(qAbs(found.outX - centre.x()) <= 3 && qAbs(found.outY - centre.y()) <= 3,
             qPrintable(QStringLiteral("found %1,%2 expected %3,%4")
                            .arg(found.outX).arg(found.outY).arg(centre.x()).arg(centre.y())));
    QVERIFY(qAbs(found.outRadius - CamScene::kDiscRadius) <= 4.0f);
    QCOMPARE(found.polarity, polarity);
    QCOMPARE(found.qrText, qrText);
}

void TestCamOverlay::markCircleDrawnAtMark_data()
{
    QTest::addColumn<QSize>("viewSize");
    QTest::newRow("frame size") << QSize(640, 480);
    QTest::newRow("scaled, other aspect") << QSize(800, 450);
}

void TestCamOverlay::markCircleDrawnAtMark()
{
    QFETCH(QSize, viewSize);
    const qint64 ms = 1500;
    const CamScene scene(qrText);
    CamView view;
    view.resize(viewSize);
    view.seek = true;
    showJpeg(view, scene.frame(ms, 1));
    const QImage shot = grabView(view);

    // The circle's green pixels sit on an ellipse around the scaled centre.
    const QPoint c = scene.discCentre(ms);
    const double sx = viewSize.width() / 640.0;
    const double sy = viewSize.height() / 480.0;
    const QPointF centre(c.x() * sx, c.y() * sy);
    const double rx = CamScene::kDiscRadius * sx;
    const double ry = CamScene::kDiscRadius * sy;
    int onCircle = 0;
    int elsewhere = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (!isGreen(shot.pixel(x, y)))
                continue;
            const double dx = (x - centre.x()) / rx;
            const double dy = (y - centre.y()) / ry;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (std::abs(d - 1.0) < 0.12 || d < 0.06) // the ellipse, or the centre point
                ++onCircle;
            else
                ++elsewhere;
        }
    }
    QVERIFY2(onCircle > 150, qPrintable(QString::number(onCircle)));
    QCOMPARE(elsewhere, 0);
    // "BK Mark;" at (210, 15) and the blue "QR Code:..." from (70, 15).
    QVERIFY(countPixels(shot, QRect(70, 2, 130, 16), isBlue) > 20);
}

void TestCamOverlay::nothingDrawnWithoutMarkOrSeek_data()
{
    QTest::addColumn<bool>("seek");
    QTest::addColumn<bool>("withMark");
    QTest::addColumn<QSize>("frameSize");
    QTest::newRow("seek on, plain sheet") << true << false << QSize(640, 480);
    QTest::newRow("seek off, mark in view") << false << true << QSize(640, 480);
    QTest::newRow("seek on, frame of another size") << true << true << QSize(800, 600);
}

void TestCamOverlay::nothingDrawnWithoutMarkOrSeek()
{
    QFETCH(bool, seek);
    QFETCH(bool, withMark);
    QFETCH(QSize, frameSize);
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (withMark)
        picture = CamScene(qrText).frame(0, 1);
    picture = picture.scaled(frameSize);
    CamView view;
    view.resize(640, 480);
    view.seek = seek;
    showJpeg(view, picture);
    const QImage shot = grabView(view);
    QCOMPARE(countPixels(shot, shot.rect(), isGreen), 0);
    QCOMPARE(countPixels(shot, shot.rect(), isBlue), 0);
    // Only the FPS text: the place of "BK Mark;" stays as the picture was.
    const auto dark = [](QRgb p) { return qGray(p) < 128; };
    int darkPixels = 0;
    for (int y = 2; y < 18; ++y)
        for (int x = 205; x < 300; ++x)
            darkPixels += dark(shot.pixel(x, y)) ? 1 : 0;
    QCOMPARE(darkPixels, 0);
}

void TestCamOverlay::repaintOfSameFrameDoesNotSearchAgain()
{
    CamView view;
    view.resize(320, 240);
    view.seek = true;
    showJpeg(view, CamScene(qrText).frame(0, 1));
    view.grab();
    QCOMPARE(view.recognitions(), 1);
    view.grab();
    view.grab();
    QCOMPARE(view.recognitions(), 1);
    view.seek = false;
    view.grab();
    view.seek = true; // switched on again: the frame is searched afresh
    view.grab();
    QCOMPARE(view.recognitions(), 2);
}

QTEST_MAIN(TestCamOverlay)
#include "tst_camoverlay.moc"
