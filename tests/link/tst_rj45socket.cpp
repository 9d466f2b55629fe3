// The network link against the simulated cutter on loopback. Giving up on a
// silent cutter is covered by the job tests.
#include "linkhelpers.h"
#include "rj45socket.h"
#include "simserver.h"

#include <QtTest>

class TestRj45Socket : public QObject
{
    Q_OBJECT
private slots:
    void eachReadTakesOneReplyAsItCame();
    void secondExchangeDuringWaitIsRefused();
    void pollSurvivesCutterGoneAndBack();
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

// The cutter switched off and on again: the poll goes on over a new
// connection, and every failed attempt tells the caller.
void TestRj45Socket::pollSurvivesCutterGoneAndBack()
{
    NetRig rig;
    QVERIFY(rig.connected);
    const quint16 port = rig.sim.serverPort();
    QList<bool> waiting;
    rig.link.setWaitingHook([&](bool w) { waiting << w; });
    rig.sim.stopListening();
    QTimer::singleShot(1500, &rig.sim, [&] { rig.sim.listen(QHostAddress::LocalHost, port); });
    QCOMPARE(rig.link.waitFree(), WaitOutcome::Done);
    QVERIFY(waiting.count(true) >= 2);
    QCOMPARE(waiting.last(), false); // the answer cleared it
    QCOMPARE(rig.sim.connectionCount(), 2);
}

QTEST_GUILESS_MAIN(TestRj45Socket)
#include "tst_rj45socket.moc"
