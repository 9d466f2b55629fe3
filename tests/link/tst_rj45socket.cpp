// The network link against the simulated cutter on loopback, and the
// simulator's own outputs (transcript, rendered sheet).
// Reconnecting and giving up on a silent cutter are covered by the job tests.
#include "linkhelpers.h"
#include "rj45socket.h"
#include "simserver.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRj45Socket : public QObject
{
    Q_OBJECT
private slots:
    void eachReadTakesOneReplyAsItCame();
    void secondExchangeDuringWaitIsRefused();
    void simulatorLogsAndRenders();
};

// The simulated cutter on a free loopback port and the link connected to it.
struct NetRig
{
    CutterSimServer sim;
    RJ45Socket link{nullptr,
                    sim.listen(QHostAddress::LocalHost, 0) ? sim.serverPort() : quint16(0)};
    bool connected = link.connectHost(QStringLiteral("127.0.0.1"));
};

// A read takes what has arrived since the send, as it came: two replies in
// one read are not taken for one, and reading does not use the reply up.
void TestRj45Socket::eachReadTakesOneReplyAsItCame()
{
    NetRig rig;
    QVERIFY(rig.connected);
    rig.sim.cutter().config().scriptedReplies = QStringList{QStringLiteral("FREE;FREE;")};
    QCOMPARE(rig.link.waitFree(), WaitOutcome::Done);
    QCOMPARE(rig.sim.cutter().instructions().count(QStringLiteral("CMD:10")), 2);

    QVERIFY(rig.link.sendCmd(QStringLiteral("SP2;PU1200,-35;CMD:203;")));
    delayMs(200); // the reply arrives now, before anyone reads
    QCOMPARE(rig.link.readReply(), QStringLiteral("1200,-35;"));
    QCOMPARE(rig.link.readReply(), QStringLiteral("1200,-35;")); // reading does not clear it
}

// An exchange started from an event during a wait is refused, not nested.
void TestRj45Socket::secondExchangeDuringWaitIsRefused()
{
    NetRig rig;
    QVERIFY(rig.connected);
    rig.sim.faults().silent = true;
    bool stop = false;
    bool nestedSent = true;
    rig.link.setStopCondition([&] { return stop; });
    QTimer::singleShot(300, this, [&] {
        nestedSent = rig.link.sendCmd(QStringLiteral("CMD:5;"));
        stop = true;
    });
    rig.link.sendCmd(QStringLiteral("CMD:203;"));
    QCOMPARE(rig.link.readReply(), QString());
    QVERIFY(rig.link.abandoned());
    QVERIFY(!nestedSent);
    QVERIFY(!rig.sim.cutter().instructions().contains(QStringLiteral("CMD:5")));
}

void TestRj45Socket::simulatorLogsAndRenders()
{
    NetRig rig;
    QVERIFY(rig.connected);
    QTemporaryDir dir;
    QVERIFY(rig.sim.setTranscript(dir.filePath("log.txt")));
    rig.sim.setRenderDir(dir.path());
    rig.link.sendCmd("MD0,0,2000,1000,3;SP1;PU0,500;PD2000,500;SP2;PU1000,0;PD1000,1000;!PG;");
    QCOMPARE(rig.link.readReply(), QStringLiteral("MD_OK;"));

    QFile log(dir.filePath("log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains(" tx MD_OK;\n")); // "<ms> rx|tx <bytes>" per transfer
    // 4 px per mm plus an 8 px margin: the crease along y = 500 units, the cut along x = 1000.
    const QImage sheet(dir.filePath("sheet-001.png"));
    QCOMPARE(sheet.pixel(8 + 25, 8 + 50), QColor(Qt::black).rgb());
    QCOMPARE(sheet.pixel(8 + 100, 8 + 80), QColor(Qt::blue).rgb());
    QCOMPARE(sheet.pixel(8 + 30, 8 + 80), QColor(Qt::white).rgb());
}

QTEST_GUILESS_MAIN(TestRj45Socket)
#include "tst_rj45socket.moc"
