// The simulated camera's stream: framing, frame rate, the folder of JPEGs.
#include "camserver.h"
#include "framestream.h"

#include <QtTest>
#include <QTcpSocket>

class TestCamSim : public QObject
{
    Q_OBJECT
private slots:
    void folderFramesSentAsStoredInNameOrder();
    void drawnFramesAreJpegsAtTheRate();
    void refusesFolderWithoutJpegs();
};

static QList<QByteArray> receive(quint16 port, int count, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    FrameStream stream;
    QList<QByteArray> frames;
    QElapsedTimer clock;
    clock.start();
    while (frames.size() < count && clock.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0)
            QTest::qWait(5);
        stream.feed(socket.readAll(), [&frames](const QByteArray &jpeg) { frames.append(jpeg); });
    }
    return frames;
}

static QByteArray jpegOf(Qt::GlobalColor colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    return encodeCameraJpeg(image, 90);
}

void TestCamSim::folderFramesSentAsStoredInNameOrder()
{
    QTemporaryDir dir;
    const QList<QByteArray> files{jpegOf(Qt::red), jpegOf(Qt::green)};
    for (int i = 0; i < files.size(); ++i) {
        QFile f(dir.filePath(QStringLiteral("%1.jpg").arg(i)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(files[i]);
    }
    QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly);
    CamServer::Options options;
    options.port = 0;
    options.fps = 60;
    options.folder = dir.path();
    CamServer server(options);
    QVERIFY(server.start());
    const QList<QByteArray> frames = receive(server.serverPort(), 5, 5000);
    QCOMPARE(frames.size(), 5);
    // Round and round; the first frame sent to a client may be any of them.
    const int first = files.indexOf(frames[0]);
    QVERIFY(first >= 0);
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(frames[i], files[(first + i) % 2]);
}

void TestCamSim::drawnFramesAreJpegsAtTheRate()
{
    CamServer::Options options;
    options.port = 0;
    options.fps = 20;
    CamServer server(options);
    QVERIFY(server.start());
    QElapsedTimer clock;
    clock.start();
    const QList<QByteArray> frames = receive(server.serverPort(), 11, 5000);
    const qint64 ms = clock.elapsed();
    QCOMPARE(frames.size(), 11);
    QVERIFY2(ms >= 400, qPrintable(QString::number(ms))); // 10 intervals of 50 ms, not a burst
    const QImage picture = QImage::fromData(frames.last());
    QCOMPARE(picture.size(), QSize(640, 480));
}

void TestCamSim::refusesFolderWithoutJpegs()
{
    QTemporaryDir dir;
    CamServer::Options options;
    options.port = 0;
    options.folder = dir.path();
    CamServer server(options);
    QVERIFY(!server.start());
    QVERIFY(server.errorString().contains(dir.path()));
}

QTEST_MAIN(TestCamSim)
#include "tst_camsim.moc"
