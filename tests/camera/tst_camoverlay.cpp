// The camera view's recognition overlay on frames of the simulated camera:
// what is found, where the mark circle is drawn, and when nothing is drawn.
#include "camscene.h"
#include "camview.h"
#include "pixels.h"

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

// The view's picture after showing the JPEG of picture (seek as given).
static QImage shoot(CamView &view, const QImage &picture, bool seek)
{
    view.seek = seek;
    const QByteArray jpeg = encodeCameraJpeg(picture, 80);
    view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void TestCamOverlay::recognisesSceneFrames_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<bool>("inverted");
    QTest::newRow("start, dark mark") << qint64(0) << false;
    QTest::newRow("later, dark mark") << qint64(4321) << false;
    QTest::newRow("light mark and code on dark ground") << qint64(2500) << true;
}

void TestCamOverlay::recognisesSceneFrames()
{
    QFETCH(qint64, ms);
    QFETCH(bool, inverted);
    const CamScene scene(qrText);
    QImage picture = scene.frame(ms, 7);
    if (inverted)
        picture.invertPixels();
    const CamRecognition found = CamView::recognise(QImage::fromData(encodeCameraJpeg(picture, 80)));
    const QPoint centre = scene.discCentre(ms);
    QVERIFY(found.hasMark());
    QVERIFY(qAbs(found.outX - centre.x()) <= 3 && qAbs(found.outY - centre.y()) <= 3);
    QVERIFY(qAbs(found.outRadius - CamScene::kDiscRadius) <= 4.0f);
    QCOMPARE(found.polarity, inverted ? 1 : 0);
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
    const QImage shot = shoot(view, scene.frame(ms, 1), true);

    // Every green pixel lies on the ellipse around the scaled centre, or is the centre point.
    const double sx = viewSize.width() / 640.0;
    const double sy = viewSize.height() / 480.0;
    const QPoint c = scene.discCentre(ms);
    int onCircle = 0;
    int elsewhere = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (!isGreen(shot.pixel(x, y)))
                continue;
            const double d = std::hypot((x - c.x() * sx) / (CamScene::kDiscRadius * sx),
                                        (y - c.y() * sy) / (CamScene::kDiscRadius * sy));
            (std::abs(d - 1.0) < 0.12 || d < 0.06 ? onCircle : elsewhere) += 1;
        }
    }
    QVERIFY2(onCircle > 150, qPrintable(QString::number(onCircle)));
    QCOMPARE(elsewhere, 0);
    QVERIFY(countPixels(shot, isBlue, QRect(70, 2, 130, 16)) > 20); // "QR Code:box-1"
    QVERIFY(countPixels(shot, isDark, QRect(210, 2, 70, 16)) > 20); // "BK Mark;"
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
    CamView view;
    view.resize(640, 480);
    const QImage shot = shoot(view, picture.scaled(frameSize), seek);
    QCOMPARE(countPixels(shot, isGreen), 0);
    QCOMPARE(countPixels(shot, isBlue), 0);
    QCOMPARE(countPixels(shot, isDark, QRect(205, 2, 95, 16)), 0); // only the FPS text
}

void TestCamOverlay::repaintOfSameFrameDoesNotSearchAgain()
{
    CamView view;
    view.resize(320, 240);
    shoot(view, CamScene(qrText).frame(0, 1), true);
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
