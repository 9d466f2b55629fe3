// The camera stream's frames and the camera view: the frame assembler
// (markers across reads, dropped frames, the size cap, resynchronisation);
// the view's recognition overlay on frames of the simulated camera (where
// the mark circle is drawn and when nothing is drawn), a frame that does not
// decode, a reset; recognition off the GUI thread, the newest frame winning.
// Recognition itself is glyphscan's and tested there. Then the main
// window's camera group against the simulated camera (cam-sim) and a fake
// cutter, both on a loopback address of this test's own, so the fixed ports
// 5000 and 9100 are free: start and stop, the camera set-up through the
// cutter, a picture too large to show, the camera going away.
#include "camscene.h"
#include "camview.h"
#include "cutterjobs.h"
#include "cuttersession.h"
#include "framestream.h"
#include "mainwidget.h"

#include <QTcpServer>
#include <QtTest>
#include <QtWidgets>

#include <atomic>

class TestCamView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { delete window; }
    void frames_data();
    void frames();
    void overlay_data();
    void overlay();
    void newestFrameWins();
    void setUpReply_data();
    void setUpReply();
    void tooLargePictureRefused();
    void startStopRestartUntilCameraGoes();

private:
    template <typename T = QPushButton> T *child(const char *name) { return window->findChild<T *>(name); }
    void setUpCamera(const QByteArray &reply);
    bool streaming() { return child("startCamBtn")->text() == MainWidget::tr("Stop"); }

    QTemporaryDir dir;
    QString address; // 127.x.y.z
    QProcess camSim; // killed with the test
    QTcpServer cutter;
    QByteArray statusReply, setupReply, cutterInput;
    MainWidget *window = nullptr;
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
    // A frame one byte over the cap is dropped; its tail (end marker included)
    // lies outside any frame, and the next start marker begins the next frame.
    const QByteArray atCap = jpegA + QByteArray(FrameStream::kMaxFrameBytes - jpegA.size(), 'x');
    QTest::newRow("frame of exactly the cap") << Chunks{framed(atCap)} << Chunks{atCap};
    QTest::newRow("over the cap: dropped, resynchronised")
        << Chunks{"J_S=" + atCap + "y", "lost tailJ_E;", framed(jpegB)} << Chunks{jpegB};
}

void TestCamView::frames()
{
    QFETCH(Chunks, chunks);
    FrameStream stream;
    QTEST(feedAll(stream, chunks), "expected");
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
    QImage picture = scene.frame(ms, 1);
    if (!withMark)
        picture.fill(Qt::white);
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
    // The searched frame under its result.
    QVERIFY(qAbs(qGray(shot.pixel(5, 230)) - 100) < 8 && countPixels(shot, isGreen) > 50);
}

// The black frame a view starts with and returns to.
static bool allBlack(const QImage &image) { return image == CamView().frame; }

void TestCamView::initTestCase()
{
    MainWidget::setSettingsPathOverride(dir.filePath(QStringLiteral("config.ini")));
    auto *random = QRandomGenerator::global();
    address = QStringLiteral("127.%1.%2.1").arg(random->bounded(1, 255)).arg(random->bounded(256));
    QVERIFY(cutter.listen(QHostAddress(address), 9100));
    connect(&cutter, &QTcpServer::newConnection, this, [this] {
        QTcpSocket *client = cutter.nextPendingConnection();
        connect(client, &QTcpSocket::readyRead, this, [this, client] {
            cutterInput += client->readAll(); // answers the status poll and the camera set-up
            if (cutterInput.endsWith("CMD:10;"))
                client->write(statusReply);
            else if (cutterInput.contains("CMD:107,") && cutterInput.endsWith(';'))
                client->write(setupReply);
        });
    });
    camSim.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/tools/cam-sim/cam-sim"), {"--host", address, "--fps", "30"});
    QVERIFY(camSim.waitForReadyRead(5000)); // "cam-sim: listening on ..."
}

void TestCamView::init()
{
    statusReply = "FREE;";
    cutterInput.clear();
    window = new MainWidget;
}

void TestCamView::setUpCamera(const QByteArray &reply)
{
    setupReply = reply;
    child<QComboBox>("devType")->setCurrentText(QStringLiteral("RJ45"));
    child<QLineEdit>("deviceIP")->setText(address);
    auto *session = window->findChild<CutterSession *>();
    session->options.cameraSetupIdleMs = 1500; // a busy cutter is given up on after a while
    QSignalSpy over(session, &CutterSession::finished);
    child("connectBtn")->click();
    QVERIFY(!child("connectBtn")->isEnabled()); // until the set-up has ended
    QVERIFY(over.wait(5000));
}

void TestCamView::setUpReply_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("starts");
    QTest::newRow("address") << QByteArray("FREE;") << address << true;
    QTest::newRow("address with semicolon") << QByteArray("FREE;") << address + ';' << false;
    QTest::newRow("cutter never idle") << QByteArray("BUSY;") << address << false;
}

void TestCamView::setUpReply()
{
    QFETCH(QByteArray, status);
    QFETCH(QString, reply);
    QFETCH(bool, starts);
    statusReply = status;
    child<QLineEdit>("ssid")->setText(QStringLiteral("shop,floor"));
    child<QLineEdit>("passwd")->setText(QStringLiteral("p;ss"));
    child<QLineEdit>("ipAddr")->setText(QStringLiteral("10.0.0.9"));
    setUpCamera(reply.toLatin1());
    QTest::qWait(100); // a command still on its way reaches the cutter

    // Status poll first, then the command exactly as typed, nothing escaped.
    QVERIFY2(cutterInput.startsWith("CMD:10;"), cutterInput.constData());
    QCOMPARE(cutterInput.endsWith("CMD:10;CMD:107,shop,floor,p;ss;"), status == "FREE;");
    QVERIFY(child("connectBtn")->isEnabled());
    QCOMPARE(child<QLineEdit>("ipAddr")->text(), starts ? reply : "10.0.0.9");
    QCOMPARE(streaming(), starts);
    // The set-up's failure stays on the result line (a camera that starts says so instead).
    const QString result = child<QLabel>("resultText")->text();
    const QString said = starts ? MainWidget::tr("Camera: showing %1").arg(reply)
        : status == "FREE;"     ? CutterJobs::tr("%1: the cutter gave no camera address").arg(CutterJobs::tr("Camera set-up"))
                                : CutterJobs::tr("%1: the cutter did not become idle within %2")
                                      .arg(CutterJobs::tr("Camera set-up"), durationText(1500));
    QVERIFY2(result.endsWith(said), qPrintable(result));
}

// A few hundred bytes whose header claims 46000 x 46000 pixels are refused
// before decoding, and said; the last good picture stays. Of the frames of
// one read only the newest is decoded: a huge one before it says nothing.
void TestCamView::tooLargePictureRefused()
{
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(qRgb(220, 0, 0));
    const QByteArray good = encodeCameraJpeg(picture, 80);
    QByteArray huge = encodeCameraJpeg(picture.scaled(8, 8), 80);
    const int sof = huge.indexOf("\xFF\xC0"); // baseline frame header: length, precision, height, width
    QVERIFY(sof > 0);
    huge.replace(sof + 5, 4, QByteArray("\xB3\xB0\xB3\xB0", 4));
    QTcpServer camera;
    const QString fake = address.left(address.lastIndexOf('.')) + ".2";
    QVERIFY(camera.listen(QHostAddress(fake), 5000));
    child<QLineEdit>("ipAddr")->setText(fake);
    child("startCamBtn")->click();
    QVERIFY(streaming() && camera.waitForNewConnection(1000));
    QTcpSocket *stream = camera.nextPendingConnection();
    auto *result = child<QLabel>("resultText");
    const QImage &shown = child<CamView>("camView")->frame;
    stream->write(framed(huge) + framed(good)); // one read
    QTRY_VERIFY(qRed(shown.pixel(5, 5)) > 200);
    QVERIFY(result->text().endsWith(MainWidget::tr("Camera: showing %1").arg(fake)));
    const QImage last = shown;
    stream->write(framed(huge));
    QTRY_VERIFY(result->text().endsWith(MainWidget::tr("Camera: %1 sent a picture too large to show (over %2 × %2 pixels)")
                                            .arg(fake).arg(CamView::kMaxFrameSide)));
    QCOMPARE(shown, last);
}

// Last, as the camera is switched off for good at its end.
void TestCamView::startStopRestartUntilCameraGoes()
{
    child<QLineEdit>("ipAddr")->setText(address + ';'); // not an address: nothing starts
    child("startCamBtn")->click();
    QVERIFY(!streaming());
    child<QLineEdit>("ipAddr")->setText(address);
    child("startCamBtn")->click();
    QVERIFY(streaming());
    QTRY_VERIFY(!allBlack(child<CamView>("camView")->frame));

    // Stop while the notice of data already received is still queued: none
    // of that data is shown.
    QTcpSocket *camSocket = window->findChild<QTcpSocket *>(); // made before the cutter link
    QMetaObject::Connection once = connect(camSocket, &QTcpSocket::readyRead, this, [&] {
        disconnect(once);
        child("startCamBtn")->click();
    });
    QThread::msleep(300); // several frames arrive meanwhile
    QTRY_VERIFY(!streaming());
    QTest::qWait(300);
    QVERIFY(allBlack(child<CamView>("camView")->frame));
    auto *result = child<QLabel>("resultText");
    const QString closed = MainWidget::tr("Camera: %1 closed the stream").arg(address);
    QVERIFY(!result->text().endsWith(closed)); // the operator stopped it

    child("startCamBtn")->click();
    QVERIFY(streaming());
    // The set-up stops the running camera and starts it at the address it
    // got; the stop's late notice must not undo that.
    setUpCamera(address.toLatin1());
    QTest::qWait(200);
    QVERIFY(streaming());
    QTRY_VERIFY(!allBlack(child<CamView>("camView")->frame)); // frames come again

    camSim.kill(); // the camera going away ends the stream, keeps the last frame, and is said
    QTRY_VERIFY(!streaming());
    QVERIFY(!allBlack(child<CamView>("camView")->frame) && result->text().endsWith(closed));
    // A set-up that finds the camera gone tries it once.
    QSignalSpy failed(camSocket, &QAbstractSocket::errorOccurred);
    setUpCamera(address.toLatin1());
    QCOMPARE(failed.count(), 1);
}

QTEST_MAIN(TestCamView)
#include "tst_camview.moc"
