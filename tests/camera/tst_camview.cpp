// The camera stream's frames and the camera view: the frame assembler
// (markers across reads, dropped frames, the size cap, resynchronisation);
// the view's recognition overlay on frames of the simulated camera (where
// the mark circle is drawn and when nothing is drawn), a frame that does not
// decode, a reset; recognition off the GUI thread, the newest frame winning.
// Recognition itself is glyphscan's and tested there.
#include "camscene.h"
#include "camview.h"
#include "framestream.h"

#include <QtTest>

#include <atomic>

class TestCamView : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void oversizeFrameIsDroppedAndStreamResynchronises();
    void overlay_data();
    void overlay();
    void newestFrameWins();
};

using Chunks = QList<QByteArray>;

static const QByteArray jpegA = QByteArray("\xFF\xD8\xFF\xE0", 4) + "picture A";
static const QByteArray jpegB = QByteArray("\xFF\xD8\xFF\xDB", 4) + "picture B with J_S= inside";

static QByteArray framed(const QByteArray &data) { return "J_S=" + data + "J_E;"; }

static Chunks feedAll(FrameStream &stream, const Chunks &chunks)
{
    Chunks frames;
    for (const QByteArray &chunk : chunks)
        stream.feed(chunk, [&frames](const QByteArray &jpeg) { frames.append(jpeg); });
    return frames;
}

void TestCamView::frames_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Chunks>("expected");
    const QByteArray a = framed(jpegA);
    QTest::newRow("bytes around frames ignored, start marker inside is data")
        << Chunks{"noise" + a + "\xFF\xD8" + framed(jpegB) + "tail"} << Chunks{jpegA, jpegB};
    Chunks bytes;
    for (char b : a)
        bytes.append(QByteArray(1, b));
    QTest::newRow("one byte per read: markers split") << bytes << Chunks{jpegA};
    QTest::newRow("JJ_S= no start") << Chunks{"JJ_S=" + jpegA + "J_E;" + a} << Chunks{jpegA};
    QTest::newRow("not a JPEG: dropped") << Chunks{framed("\xFF\xD8 no"), a} << Chunks{jpegA};
    QTest::newRow("end marker broken by a second J is data")
        << Chunks{"J_S=" + jpegA + "JJ_E;J_E;"} << Chunks{jpegA + "JJ_E;"};
}

void TestCamView::frames()
{
    QFETCH(Chunks, chunks);
    FrameStream stream;
    QTEST(feedAll(stream, chunks), "expected");
}

void TestCamView::oversizeFrameIsDroppedAndStreamResynchronises()
{
    // A frame of exactly the cap still passes; one byte more is dropped.
    const QByteArray atCap = jpegA + QByteArray(FrameStream::kMaxFrameBytes - jpegA.size(), 'x');
    FrameStream stream;
    QCOMPARE(feedAll(stream, {framed(atCap)}), Chunks{atCap});
    QCOMPARE(stream.oversizeDrops(), 0);

    // The tail of the dropped frame (its end marker included) is outside any
    // frame and ignored; the next start marker begins the next frame.
    const Chunks frames = feedAll(stream, {"J_S=" + atCap + "y", "lost tailJ_E;", framed(jpegB)});
    QCOMPARE(stream.oversizeDrops(), 1);
    QCOMPARE(frames, Chunks{jpegB});
}

static const QByteArray qrText("box-1");

// Pixel classes of the drawing: green mark circle, blue QR text, dark state text.
static bool isGreen(QRgb p) { return qGreen(p) > 150 && qRed(p) < 110 && qBlue(p) < 110; }
static bool isBlue(QRgb p) { return qBlue(p) > 150 && qRed(p) < 110 && qGreen(p) < 110; }
static bool isDark(QRgb p) { return qGray(p) < 128; }

// Pixels in `area` (the whole picture when null) that pass `test`.
static int countPixels(const QImage &image, bool (*test)(QRgb), QRect area = QRect())
{
    const QRect r = area.isNull() ? image.rect() : area;
    int n = 0;
    for (int i = 0; i < r.width() * r.height(); ++i)
        n += test(image.pixel(r.left() + i % r.width(), r.top() + i / r.width()));
    return n;
}

void TestCamView::overlay_data()
{
    QTest::addColumn<bool>("seek");
    QTest::addColumn<bool>("withMark");
    QTest::addColumn<QSize>("frameSize");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("mark found") << true << true << QSize(640, 480) << true;
    QTest::newRow("plain sheet") << true << false << QSize(640, 480) << false;
    QTest::newRow("seek off") << false << true << QSize(640, 480) << false;
    QTest::newRow("frame of another size") << true << true << QSize(800, 600) << false;
}

void TestCamView::overlay()
{
    QFETCH(bool, seek);
    QFETCH(bool, withMark);
    QFETCH(QSize, frameSize);
    QFETCH(bool, drawn);
    const qint64 ms = 1500;
    const CamScene scene(qrText);
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (withMark)
        picture = scene.frame(ms, 1);
    CamView view;
    view.resize(800, 450); // scaled, and of another aspect than the frame
    view.seek = seek;
    const QByteArray jpeg = encodeCameraJpeg(picture.scaled(frameSize), 80);
    QSignalSpy found(&view, &CamView::recognised);
    view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
    QVERIFY(!seek || found.wait(5000));
    const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);

    // Every green pixel lies on the ellipse around the scaled centre, or is the centre point.
    const double sx = 800 / 640.0, sy = 450 / 480.0;
    const QPoint c = scene.discCentre(ms);
    int onCircle = 0, elsewhere = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const double d = std::hypot((x - c.x() * sx) / (CamScene::kDiscRadius * sx),
                                        (y - c.y() * sy) / (CamScene::kDiscRadius * sy));
            if (isGreen(shot.pixel(x, y)))
                (std::abs(d - 1.0) < 0.12 || d < 0.06 ? onCircle : elsewhere) += 1;
        }
    QVERIFY2(drawn ? onCircle > 150 : onCircle == 0, qPrintable(QString::number(onCircle)));
    QCOMPARE(elsewhere, 0);
    QCOMPARE(countPixels(shot, isBlue) > 20, drawn);                      // "QR Code:box-1"
    QCOMPARE(countPixels(shot, isDark, QRect(205, 2, 95, 16)) > 20, drawn); // "BK Mark;"

    // A frame cut short does not decode: the last good picture stays.
    const QImage last = view.frame;
    QCOMPARE(last.size(), frameSize);
    view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), 40);
    QCOMPARE(view.frame, last);
    view.resetImage(); // black, in the one size recognition takes
    QCOMPARE(view.frame.size(), QSize(640, 480));
    QCOMPARE(view.frame.pixel(320, 240), qRgb(0, 0, 0));
}

// A search slower than the frames: the GUI thread does not wait for it, the
// frames that came during it are skipped but for the last, and the view shows
// that frame with what was found in it.
void TestCamView::newestFrameWins()
{
    CamView view;
    view.resize(320, 240);
    view.seek = true;
    QList<QRgb> searched; // the colour of each frame the search was given
    std::atomic<bool> firstRunning{false};
    view.setRecognise([&](const QImage &frame) {
        searched << frame.pixel(0, 0); // only the recogniser's thread writes until the results are in
        if (searched.size() == 1) {
            firstRunning = true;
            QThread::msleep(300);
        }
        return CamRecognition{320, 240, 40, 0, {}};
    });
    const QRgb colours[] = {qRgb(250, 250, 250), qRgb(200, 200, 200), qRgb(150, 150, 150), qRgb(100, 100, 100)};
    QSignalSpy shown(&view, &CamView::recognised);
    qint64 inLoadFrame = 0; // the GUI thread's time with the frames, not the search's
    for (const QRgb colour : colours) {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(colour);
        const QByteArray jpeg = encodeCameraJpeg(picture, 95);
        QElapsedTimer clock;
        clock.start();
        view.loadFrame(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
        inLoadFrame += clock.elapsed();
        QTRY_VERIFY(firstRunning); // the others arrive while the first is searched
    }
    QVERIFY(inLoadFrame < 250); // no frame waited for the 300 ms search
    QTRY_COMPARE(shown.count(), 2);
    QTest::qWait(100);
    QCOMPARE(shown.count(), 2);
    QCOMPARE(searched.size(), 2);
    QVERIFY(qAbs(qGray(searched.last()) - 100) < 8);
    const QImage shot = view.grab().toImage();
    QVERIFY(qAbs(qGray(shot.pixel(5, 230)) - 100) < 8); // the searched frame under its result
    QVERIFY(countPixels(shot, isGreen) > 50);
}

QTEST_MAIN(TestCamView)
#include "tst_camview.moc"
