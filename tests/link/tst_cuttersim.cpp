// The simulated cutter: its protocol model, rendering and transports. Its
// media container and reply queues are exercised by the job transcripts.
#include "simrender.h"
#include "simserver.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

class TestCutterSim : public QObject
{
    Q_OBJECT
private slots:
    void answersEachCommand_data();
    void answersEachCommand();
    void instructionsSplitAnywhere();
    void followsCarriageAndReportsBusy();
    void rendersCreaseBlackAndCutBlue();
    void tcpTranscriptAndFaults();
};

void TestCutterSim::answersEachCommand_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("reply"); // the replies in a row; empty: no reply
    QTest::newRow("status") << QByteArray("CMD:10;") << QByteArray("FREE;");
    QTest::newRow("answered OK") << QByteArray("CMD:5;CMD:6;CMD:110;CMD:111;CMD:201,0.5,-1.25;CMD:202;")
                                 << QByteArray("OK;").repeated(6);
    QTest::newRow("position") << QByteArray("CMD:203;") << QByteArray("0,0;");
    QTest::newRow("paper") << QByteArray("CMD:108;") << QByteArray("PAPEROK;");
    QTest::newRow("feed") << QByteArray("CMD:109,0,0,0,0;") << QByteArray("FEEDOK;");
    QTest::newRow("move sheet") << QByteArray("CMD:105,30;") << QByteArray("MOVEOK;");
    QTest::newRow("mark") << QByteArray("CMD:106;") << QByteArray("NOMARK;");
    QTest::newRow("qr") << QByteArray("CMD:101;") << QByteArray("NOQR;");
    QTest::newRow("camera") << QByteArray("CMD:107,cam,secret;") << QByteArray("192.168.137.137");
    QTest::newRow("MD") << QByteArray("MD0,0,400,800,3;") << QByteArray("MD_OK;");
    QTest::newRow("unknown command") << QByteArray("CMD:999;") << QByteArray();
    QTest::newRow("plot instruction") << QByteArray("IN;PA;SP1;") << QByteArray();
}

void TestCutterSim::answersEachCommand()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, reply);
    SimCutter cutter;
    QCOMPARE(cutter.receive(sent).join(), reply);
}

void TestCutterSim::instructionsSplitAnywhere()
{
    SimCutter cutter;
    QVERIFY(cutter.receive("CM").isEmpty());
    QCOMPARE(cutter.receive("D:5;CMD:20").size(), 1);
    QCOMPARE(cutter.receive("3;"), QList<QByteArray>{"0,0;"});
    QCOMPARE(cutter.instructions(), (QStringList{"CMD:5", "CMD:203"}));
}

void TestCutterSim::followsCarriageAndReportsBusy()
{
    SimConfig config;
    config.busyMs = 150;
    SimCutter cutter(config);
    cutter.receive("SP2;PU1200,-35;PD1300,-35,1300,0;");
    QCOMPARE(cutter.receive("CMD:10;"), QList<QByteArray>{"BUSY;"});
    QCOMPARE(cutter.receive("CMD:203;"), QList<QByteArray>{"1300,0;"});
    QTest::qWait(200);
    QCOMPARE(cutter.receive("CMD:10;"), QList<QByteArray>{"FREE;"});
    QCOMPARE(cutter.currentSheet().lines.size(), 2);
    QCOMPARE(cutter.currentSheet().lines.first().pen, 2);
}

void TestCutterSim::rendersCreaseBlackAndCutBlue()
{
    SimCutter cutter;
    cutter.receive("MD0,0,2000,1000,3;IN;PA;SP1;PU0,500;PD2000,500;PU;SP2;PU1000,0;PD1000,1000;PU;!PG;");
    QCOMPARE(cutter.finishedSheets().size(), 1);
    const QImage image = renderSheet(cutter.finishedSheets().first());
    // 4 px per mm plus an 8 px margin: the crease runs along y = 500 units, the cut along x = 1000.
    QVERIFY(image.width() >= 200 && image.height() >= 100);
    QCOMPARE(image.pixelColor(8 + 25, 8 + 50).rgb(), QColor(Qt::black).rgb());
    QCOMPARE(image.pixelColor(8 + 100, 8 + 80).rgb(), QColor(Qt::blue).rgb());
    QCOMPARE(image.pixelColor(8 + 30, 8 + 80).rgb(), QColor(Qt::white).rgb());
}

void TestCutterSim::tcpTranscriptAndFaults()
{
    QTemporaryDir dir;
    CutterSimServer sim;
    QVERIFY(sim.setTranscript(dir.filePath("log.txt")));
    sim.setRenderDir(dir.filePath("sheets"));
    QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.serverPort());
    QVERIFY(socket.waitForConnected(2000));
    QTRY_COMPARE(sim.connectionCount(), 1);

    // The client waits in its own blocking calls, so the server needs the event loop in between.
    auto ask = [&](const QByteArray &bytes) {
        socket.write(bytes);
        socket.flush();
        QByteArray got;
        for (int i = 0; i < 100 && got.isEmpty(); ++i) {
            QTest::qWait(20);
            got += socket.readAll();
        }
        return got;
    };
    QCOMPARE(ask("MD0,0,40,40,3;SP1;PU0,0;PD40,40;!PG;"), QByteArray("MD_OK;"));
    QVERIFY(QFile::exists(dir.filePath("sheets/sheet-001.png")));

    sim.faults().garbage = true;
    QCOMPARE(ask("CMD:10;"), CutterSimServer::kGarbage);
    sim.faults().garbage = false;

    sim.faults().dropAfter = 3; // this connection has seen one command so far
    QCOMPARE(ask("CMD:5;CMD:6;"), QByteArray("OK;OK;"));
    QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);

    QFile log(dir.filePath("log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QVERIFY(lines.size() >= 6);
    QVERIFY(lines.at(0).endsWith(" rx MD0,0,40,40,3;SP1;PU0,0;PD40,40;!PG;"));
    QVERIFY(lines.at(1).endsWith(" tx MD_OK;"));
    QVERIFY(lines.at(3).endsWith(" tx \\x15#?g4rb@ge\\x7f"));
    QCOMPARE(CutterSimServer::escapeBytes(QByteArray("a\\b\0", 4)), QByteArray("a\\\\b\\x00"));
}

QTEST_GUILESS_MAIN(TestCutterSim)
#include "tst_cuttersim.moc"
