// The network link against the simulated cutter on loopback, the link on a
// thread of its own as in the cutter session. Giving up on a silent cutter
// in a job is covered by the job tests. And the links' text helpers: the
// address check and the parsing of the cutter's position and mark replies
// (delayMs is exercised by every job test).
#include "cutterprotocol.h"
#include "linkhelpers.h"
#include "rj45socket.h"
#include "simserver.h"

#include <QtTest>

#include <atomic>
#include <future>
#include <memory>

class TestRj45Socket : public QObject
{
    Q_OBJECT
private slots:
    void eachReadTakesOneReplyAsItCame();
    void wakeAndCancelEndWaits();
    void pollSurvivesCutterGoneAndBack();
    void validIp();
    void logLabels();
    void parsesReplies();
};

// A link on a thread of its own, as the cutter session keeps it, while the
// test's thread serves the simulated cutter.
template<class Link>
class LinkThread
{
public:
    template<class... Args>
    explicit LinkThread(Args... args)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([&] { m_link = std::make_unique<Link>(nullptr, args...); });
    }
    ~LinkThread()
    {
        run([this] { m_link.reset(); });
        m_thread.quit();
        m_thread.wait();
    }
    Link &link() { return *m_link; } // for calls that are safe from any thread

    // Calls f(link) on the link's thread; this thread handles its events meanwhile.
    template<class F> auto call(F f) { return run([&] { return f(*m_link); }); }

private:
    template<class F> auto run(F f)
    {
        std::packaged_task<decltype(f())()> task(f);
        auto result = task.get_future();
        QMetaObject::invokeMethod(&m_context, [&task] { task(); }, Qt::QueuedConnection);
        while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return result.get();
    }

    QThread m_thread;
    QObject m_context;
    std::unique_ptr<Link> m_link;
};

// The simulated cutter on a free loopback port and the link connected to it.
struct NetRig
{
    CutterSimServer sim;
    LinkThread<RJ45Socket> net{sim.listen(QHostAddress::LocalHost, 0) ? sim.serverPort() : quint16(0)};
    bool connected = net.call([](RJ45Socket &l) { return l.connectHost(QStringLiteral("127.0.0.1")); });
};

// A read takes what has arrived since the send, as it came: two replies in
// one read are not taken for one, and reading does not use the reply up.
void TestRj45Socket::eachReadTakesOneReplyAsItCame()
{
    NetRig rig;
    QVERIFY(rig.connected);
    rig.sim.cutter().config().scriptedReplies = QStringList{QStringLiteral("FREE;FREE;")};
    QCOMPARE(rig.net.call([](RJ45Socket &l) { return l.waitFree(); }), WaitOutcome::Done);
    QCOMPARE(rig.sim.cutter().instructions().count(QStringLiteral("CMD:10")), 2);

    QVERIFY(rig.net.call([](RJ45Socket &l) { return l.sendCmd(QStringLiteral("SP2;PU1200,-35;CMD:203;")); }));
    QTest::qWait(200); // the reply arrives now, before anyone reads
    QCOMPARE(rig.net.call([](RJ45Socket &l) { return l.readReply(); }), QStringLiteral("1200,-35;"));
    QCOMPARE(rig.net.call([](RJ45Socket &l) { return l.readReply(); }), QStringLiteral("1200,-35;"));
}

// Another thread ends a wait on a silent cutter: wake() has the stop
// condition looked at now, cancel() ends every wait and every later send.
void TestRj45Socket::wakeAndCancelEndWaits()
{
    NetRig rig;
    QVERIFY(rig.connected);
    rig.sim.faults().silent = true;
    std::atomic<bool> stop{false};
    rig.net.call([&stop](RJ45Socket &l) { return l.setStopCondition([&stop] { return stop.load(); }), true; });
    QTimer::singleShot(300, this, [&] { stop = true, rig.net.link().wake(); });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.net.call(
        [](RJ45Socket &l) { return l.sendCmd("CMD:203;"), l.readReply().isEmpty() && l.abandoned(); }));
    QVERIFY(clock.elapsed() >= 300 && clock.elapsed() < CutterLink::kSilenceMs);

    stop = false;
    QTimer::singleShot(300, this, [&] { rig.net.link().cancel(); });
    QVERIFY(rig.net.call([](RJ45Socket &l) { return l.readReply().isEmpty(); }));
    QVERIFY(!rig.net.call([](RJ45Socket &l) { return l.sendCmd(QStringLiteral("CMD:5;")); }));
    QTest::qWait(100);
    QVERIFY(!rig.sim.cutter().instructions().contains(QStringLiteral("CMD:5")));
}

// The cutter switched off and on again: the poll goes on over a new
// connection, and every failed attempt tells the caller.
void TestRj45Socket::pollSurvivesCutterGoneAndBack()
{
    NetRig rig;
    QVERIFY(rig.connected);
    QTRY_COMPARE(rig.sim.connectionCount(), 1); // taken by the cutter, not only by the kernel
    const quint16 port = rig.sim.serverPort();
    QList<bool> waiting; // written on the link's thread, read once it is done
    rig.net.call([&waiting](RJ45Socket &l) { return l.setWaitingHook([&waiting](bool w) { waiting << w; }), true; });
    rig.sim.stopListening();
    QTimer::singleShot(1500, &rig.sim, [&] { rig.sim.listen(QHostAddress::LocalHost, port); });
    QCOMPARE(rig.net.call([](RJ45Socket &l) { return l.waitFree(); }), WaitOutcome::Done);
    QVERIFY(waiting.count(true) >= 2);
    QCOMPARE(waiting.last(), false); // the answer cleared it
    QCOMPARE(rig.sim.connectionCount(), 2);
}

void TestRj45Socket::validIp()
{
    for (const char *valid : {"192.168.0.100", "255.255.255.255", "010.001.000.099"})
        QVERIFY2(isValidIp(valid), valid);
    for (const char *invalid : {"192.168.0.256", "1.2.3.4.5", "1..3.4", "1.2.3.4\n", "1.2.3.0004",
                                "cutter.local", ""})
        QVERIFY2(!isValidIp(invalid), invalid);
}

// Coloured for a terminal, then back to the terminal's own colour (not black,
// which vanishes on a dark background); plain when the log is not a terminal.
void TestRj45Socket::logLabels()
{
    QCOMPARE(logLabel("Send:", 31, true), QByteArray("\x1b[31mSend:\x1b[0m"));
    QCOMPARE(logLabel("Recv:", 34, false), QByteArray("Recv:"));
    QCOMPARE(logLabel("Recv:", 34), QByteArray("Recv:")); // ctest's output is no terminal
}

void TestRj45Socket::parsesReplies()
{
    const struct { const char *reply; int x, y; } positions[] = {
        {"1200,-35;", 1200, -35}, {"7,8", 7, 8}, {"5,1;2;", 5, 12}, {"1200;", 0, 0}, {"", 0, 0}};
    for (const auto &p : positions) {
        const CutterProtocol::Position got = CutterProtocol::parsePosition(p.reply);
        QVERIFY2(got.x == p.x && got.y == p.y, p.reply);
    }
    const struct { const char *reply; int count; double a, b, c; } marks[] = {
        {"X=12.5,Y=-3.25,D=0.8;", 3, 12.5, -3.25, 0.8}, {"12.5,3;", 1, 12.5, 0, 0},
        {"1,2,3", 2, 1, 2, 0}, {"1,2,3;4,5;", 3, 1, 2, 3}, {"NOMARK;", 0, 0, 0, 0}};
    for (const auto &m : marks) {
        const CutterProtocol::MarkReading got = CutterProtocol::parseMark(m.reply);
        QVERIFY2(got.count == m.count && got.values[0] == m.a && got.values[1] == m.b && got.values[2] == m.c,
                 m.reply);
    }
}

QTEST_GUILESS_MAIN(TestRj45Socket)
#include "tst_rj45socket.moc"
