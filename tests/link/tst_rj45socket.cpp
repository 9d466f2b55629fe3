// The network link against the simulated cutter on loopback.
#include "linkhelpers.h"
#include "rj45socket.h"
#include "simserver.h"

#include <QtTest>

class TestRj45Socket : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void connectHostRejectsBadAddresses_data();
    void connectHostRejectsBadAddresses();
    void waitFreeAcceptsOnlyExactFree_data();
    void waitFreeAcceptsOnlyExactFree();
    void connectHostAgainReconnects();
    void replyArrivingBeforeReadIsKept();
    void splitReplyIsNotAssembled();
    void sendReconnectsAfterCutterClosed();
    void pollSurvivesCutterGoneAndBack();
    void silentCutterIsAbandonedByStop();
    void secondExchangeDuringWaitIsRefused();

private:
    int polls() const;
    std::unique_ptr<CutterSimServer> sim;
    std::unique_ptr<RJ45Socket> link;
};

void TestRj45Socket::init()
{
    SimConfig config;
    config.busyMs = 0;
    sim = std::make_unique<CutterSimServer>(config);
    QVERIFY(sim->listen(QHostAddress::LocalHost, 0));
    link = std::make_unique<RJ45Socket>(nullptr, sim->serverPort());
    QVERIFY(link->connectHost(QStringLiteral("127.0.0.1")));
}

void TestRj45Socket::cleanup()
{
    link.reset();
    sim.reset();
}

int TestRj45Socket::polls() const
{
    return int(sim->cutter().instructions().count(QStringLiteral("CMD:10")));
}

void TestRj45Socket::connectHostRejectsBadAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("256") << "192.168.0.256";
    QTest::newRow("host name") << "localhost";
}

void TestRj45Socket::connectHostRejectsBadAddresses()
{
    QFETCH(QString, address);
    QVERIFY(!link->connectHost(address));
    QCOMPARE(link->ip(), QStringLiteral("127.0.0.1"));
    QCOMPARE(link->state(), QAbstractSocket::ConnectedState); // the socket was not touched
}

void TestRj45Socket::waitFreeAcceptsOnlyExactFree_data()
{
    QTest::addColumn<QString>("first");
    QTest::newRow("no semicolon") << "FREE";
    QTest::newRow("lower case") << "free;";
    QTest::newRow("two replies in one read") << "FREE;FREE;";
    QTest::newRow("busy") << "BUSY;";
}

void TestRj45Socket::waitFreeAcceptsOnlyExactFree()
{
    QFETCH(QString, first);
    sim->cutter().config().scriptedReplies = QStringList{first};
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(link->waitFree(), WaitOutcome::Done);
    QCOMPARE(polls(), 2); // the first reply was not taken for idle
    QVERIFY(clock.elapsed() >= 2 * CutterLink::kPollPauseMs);
}

void TestRj45Socket::connectHostAgainReconnects()
{
    QVERIFY(link->connectHost(QStringLiteral("127.0.0.1")));
    QTRY_COMPARE(sim->connectionCount(), 2);
    link->sendCmd(QStringLiteral("CMD:108;"));
    QCOMPARE(link->readReply(), QStringLiteral("PAPEROK;"));
}

void TestRj45Socket::replyArrivingBeforeReadIsKept()
{
    QVERIFY(link->sendCmd(QStringLiteral("SP2;PU1200,-35;")));
    QVERIFY(link->sendCmd(QStringLiteral("CMD:203;")));
    delayMs(200); // the reply arrives now, before anyone reads
    QCOMPARE(link->readReply(), QStringLiteral("1200,-35;"));
    QCOMPARE(link->readReply(), QStringLiteral("1200,-35;")); // reading does not clear it
}

void TestRj45Socket::splitReplyIsNotAssembled()
{
    sim->faults().splitReplies = true;
    link->sendCmd(QStringLiteral("CMD:108;"));
    QCOMPARE(link->readReply(), QStringLiteral("PAPE"));
    delayMs(CutterSimServer::kSplitGapMs + 100);
    QCOMPARE(link->readReply(), QStringLiteral("ROK;")); // the second part replaced the first
}

void TestRj45Socket::sendReconnectsAfterCutterClosed()
{
    sim->faults().dropAfter = 1;
    link->sendCmd(QStringLiteral("CMD:202;"));
    QCOMPARE(link->readReply(), QStringLiteral("OK;"));
    QTRY_COMPARE(link->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(link->sendCmd(QStringLiteral("CMD:108;")));
    QCOMPARE(link->readReply(), QStringLiteral("PAPEROK;"));
    QCOMPARE(sim->connectionCount(), 2);
}

void TestRj45Socket::pollSurvivesCutterGoneAndBack()
{
    const quint16 port = sim->serverPort();
    QList<bool> waiting;
    link->setWaitingHook([&](bool w) { waiting << w; });
    sim->stopListening();
    QTimer::singleShot(1500, sim.get(), [&] { QVERIFY(sim->listen(QHostAddress::LocalHost, port)); });
    QCOMPARE(link->waitFree(), WaitOutcome::Done);
    QVERIFY(waiting.count(true) >= 2); // every failed attempt told the caller
    QCOMPARE(waiting.last(), false);   // and the answer cleared it
}

void TestRj45Socket::silentCutterIsAbandonedByStop()
{
    sim->faults().silent = true;
    bool stop = false;
    link->setStopCondition([&] { return stop; });
    QTimer::singleShot(300, this, [&] { stop = true; });
    QElapsedTimer clock;
    clock.start();
    link->sendCmd(QStringLiteral("CMD:203;"));
    QCOMPARE(link->readReply(), QString());
    QVERIFY(link->abandoned());
    QVERIFY(clock.elapsed() < 2000);

    stop = false;
    QTimer::singleShot(1200, this, [&] { stop = true; });
    QCOMPARE(link->waitFree(), WaitOutcome::Stopped);
    QVERIFY(link->abandoned());

    stop = false;
    sim->faults().silent = false;
    QCOMPARE(link->waitFree(), WaitOutcome::Done);
    QVERIFY(!link->abandoned());
}

void TestRj45Socket::secondExchangeDuringWaitIsRefused()
{
    sim->faults().silent = true;
    bool stop = false;
    bool nestedSent = true;
    link->setStopCondition([&] { return stop; });
    QTimer::singleShot(100, this, [&] {
        nestedSent = link->sendCmd(QStringLiteral("CMD:5;"));
        stop = true;
    });
    link->sendCmd(QStringLiteral("CMD:203;"));
    link->readReply();
    QVERIFY(!nestedSent);
    QVERIFY(!sim->cutter().instructions().contains(QStringLiteral("CMD:5")));
}

QTEST_GUILESS_MAIN(TestRj45Socket)
#include "tst_rj45socket.moc"
