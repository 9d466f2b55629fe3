// The links. The USB link, discovery and hot-plug against a mocked udev tree
// whose device nodes keep the kernel printer driver's rules (UsblpNode: one
// open at a time, unread replies lost at close, the device answering at
// once); run under umockdev-wrapper. The network link against the simulated
// cutter on loopback, the link on a thread of its own as in the cutter
// session. The links' text helpers: the address check and the parsing of the
// cutter's position and mark replies (delayMs is exercised by every job
// test). Exchanges with a busy, silent or vanishing cutter in a job, and
// giving up on a silent one, are covered by the job transcripts.
#include "mockusb.h" // first: before any Qt header

#include "cutterprotocol.h"
#include "devicelist.h"
#include "linkhelpers.h"
#include "rj45socket.h"
#include "simserver.h"
#include "usbdevices.h"
#include "usblpnode.h"
#include "usboperate.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <future>
#include <memory>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A device that answers every write with `reply` (none when empty), counting the writes.
struct ScriptedCutter
{
    QByteArray reply, received;
    UsblpNode node{[this](const QByteArray &bytes) {
        received += bytes;
        if (!reply.isEmpty())
            node.send(reply);
    }};
    bool start()
    {
        QString why;
        return node.start(&why) || (qWarning() << why, false);
    }
};

int openNode(const QString &path)
{
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

// One non-blocking read: the bytes, or "errno N".
QByteArray readNode(int fd)
{
    char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    return n < 0 ? "errno " + QByteArray::number(errno) : QByteArray(buffer, int(n));
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { bed = std::make_unique<MockUsb>(); }
    void cleanup() { bed.reset(); }
    void driverModelKeepsUsblpRules();
    void repliesStaleRepliesAndAnotherProgram();
    void nodeHeldUntilUnpluggedOrLetGo();
    void hotplugRefreshKeepsJobCutter();
    void eachReadTakesOneReplyAsItCame();
    void wakeAndCancelEndWaits();
    void stopDropsWhatTheCutterDidNotTake();
    void pollSurvivesCutterGoneAndBack();
    void textHelpers();

private:
    // The cutter "1-2" behind `node`, selected on `usb`, whose waits end after
    // 2 s from `clock`, so a lost reply fails a test instead of hanging it.
    MockUsbDevice plugCutter(UsbOperate &usb, const QString &node, QElapsedTimer &clock, const QString &lp = "lp0")
    {
        usb.setDevice("1-2:1.0");
        clock.start();
        usb.setStopCondition([&clock] { return clock.elapsed() > 2000; });
        return bed->plug("1-2", lp, lp.mid(2).toInt(), node);
    }
    std::unique_ptr<MockUsb> bed;
};

void TestLink::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

// The rig itself, as the program's system calls meet it: the tests below
// rely on these rules to catch a link that would lose replies on a real cutter.
void TestLink::driverModelKeepsUsblpRules()
{
    ScriptedCutter cutter{"OK;", {}};
    QVERIFY(cutter.start());
    const QString path = cutter.node.path();
    int fd = openNode(path);
    QVERIFY(fd >= 0);
    QCOMPARE(openNode(path), -1); // one open at a time
    QCOMPARE(errno, EBUSY);
    QCOMPARE(::write(fd, "CMD:1;", 6), ssize_t(6));
    QCOMPARE(readNode(fd), QByteArray("OK;")); // answered before write() returned
    QCOMPARE(readNode(fd), "errno " + QByteArray::number(EAGAIN));

    QCOMPARE(::write(fd, "CMD:2;", 6), ssize_t(6));
    ::close(fd); // the answer had been collected: it is lost
    QTRY_COMPARE(cutter.node.counters().closes, 1); // FUSE tells the last close a moment later
    QCOMPARE(cutter.node.counters().lostBytes, qint64(3));
    cutter.node.send("LATE;"); // sent while closed: it waits in the device
    cutter.node.send("NEXT;");
    fd = openNode(path);
    QCOMPARE(readNode(fd), QByteArray("LATE;")); // one transfer per read
    QCOMPARE(readNode(fd), QByteArray("NEXT;"));

    const QByteArray big(UsblpNode::kWriteChunk + 100, 'x');
    QCOMPARE(::write(fd, big.constData(), size_t(big.size())), ssize_t(UsblpNode::kWriteChunk));

    cutter.node.unplug();
    pollfd p{fd, POLLIN, 0};
    QVERIFY(::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP));
    QCOMPARE(readNode(fd), "errno " + QByteArray::number(ENODEV));
    QCOMPARE(openNode(path), -1);
    cutter.node.plug();
    const int again = openNode(path); // a new device; the old handle stays dead
    QVERIFY(again >= 0);
    QCOMPARE(readNode(fd), "errno " + QByteArray::number(ENODEV));
    ::close(again);
    ::close(fd);
}

// One read is one transfer of at most 64 bytes, cut at a NUL; Latin-1.
// Whatever the driver holds unread when a command is written (a reply nobody
// read, one that came after its read gave up) is dropped and logged once.
// Another program holds the cutter: nothing is sent, nothing waits, and the
// link says why; once that program lets go, the cutter is usable.
void TestLink::repliesStaleRepliesAndAnotherProgram()
{
    ScriptedCutter cutter;
    QVERIFY(cutter.start());
    UsbOperate usb;
    QElapsedTimer clock;
    plugCutter(usb, cutter.node.path(), clock);
    const QByteArray exact64 = QByteArray(63, 'A') + ';';
    cutter.node.send(exact64 + "\xe9;");
    QCOMPARE(usb.readReply(-1), QString::fromLatin1(exact64));
    QCOMPARE(usb.readReply(-1), QString::fromLatin1("\xe9;")); // the rest comes as the next reply
    cutter.node.send(QByteArray("OK;\0garbage", 11));
    QCOMPARE(usb.readReply(-1), QStringLiteral("OK;"));
    QCOMPARE(usb.reply(), QStringLiteral("OK;"));
    clock.start();
    QCOMPARE(usb.readReply(300), QString()); // nothing more: the time-out gives the empty reply
    QVERIFY(clock.elapsed() >= 290);

    cutter.reply = "FREE;";
    cutter.node.send("MD_OK;");
    cutter.node.send("NOPAPER;");
    QTest::ignoreMessage(QtInfoMsg, "discarded stale reply: \"MD_OK;NOPAPER;\"");
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:10;"))); // nothing stale: nothing logged
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
    QCOMPARE(cutter.received, QByteArray("CMD:10;CMD:10;"));

    usb.setDevice(QStringLiteral("1-3:1.0")); // lets the node go
    QTRY_COMPARE(cutter.node.counters().closes, 1);
    usb.setDevice(QStringLiteral("1-2:1.0"));
    const int other = openNode(cutter.node.path());
    QVERIFY(other >= 0);
    QSignalSpy inUse(&usb, &UsbOperate::cutterInUse);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^The cutter is in use by another program"));
    clock.start();
    QVERIFY(!usb.deviceExists() && !usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.waitFree(), WaitOutcome::NoCutter);
    QVERIFY(clock.elapsed() < 300);
    QVERIFY(inUse.count() >= 1);
    QCOMPARE(cutter.received, QByteArray("CMD:10;CMD:10;"));
    ::close(other);
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
}

// The cutter answers before the program's write returns. The node stays open
// from the first use, so that answer is read; presence checks and the device
// list do not open it again. Unplugged: every operation ends at once and the
// node is let go; plugged back (under another lpN), the same link uses the
// cutter again. (Selecting another cutter lets it go: see above.)
void TestLink::nodeHeldUntilUnpluggedOrLetGo()
{
    SimConfig config;
    config.busyMs = 0;
    CutterSimServer sim(config);
    const QString node = sim.openUsbNode();
    QVERIFY(!node.isEmpty());
    UsbOperate usb;
    QElapsedTimer clock;
    const MockUsbDevice d = plugCutter(usb, node, clock);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(usb.sendCmd(QStringLiteral("CMD:10;")));
        QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
        QVERIFY(usb.deviceExists());
        QCOMPARE(usb.listDevices(), QStringList{"1-2:1.0"});
    }
    QCOMPARE(usb.waitFree(), WaitOutcome::Done);
    const UsblpNode::Counters counters = sim.usbNode()->counters();
    QVERIFY(counters.opens == 1 && counters.closes == 0 && counters.busyRefusals == 0 && usb.holdsNode());

    bed->unplug(d);
    sim.hangUp();
    clock.start();
    // The last answer must not pass for a new one, nor a missing cutter for an idle one.
    QVERIFY(!usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.readReply(), QString());
    QCOMPARE(usb.reply(), QString());
    QCOMPARE(usb.waitFree(), WaitOutcome::NoCutter);
    QCOMPARE(usb.waitReply(QStringLiteral("OK;")), WaitOutcome::NoCutter);
    QVERIFY(clock.elapsed() < 300 && !usb.holdsNode());

    sim.usbNode()->plug();
    plugCutter(usb, node, clock, "lp3");
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
    QCOMPARE(usb.waitFree(), WaitOutcome::Done);
    QVERIFY(usb.holdsNode());
}

// The list holds the attached cutter interfaces (0483:5710, interface 00)
// whose node opens or is held by another program; not those whose node
// cannot be opened. A refresh while a job waits on its cutter keeps it.
void TestLink::hotplugRefreshKeepsJobCutter()
{
    UsbHotplugWatcher watcher; // watching before the first scan
    CutterSimServer sim;
    sim.faults().silent = true;
    ScriptedCutter a, b, added, vendor, product, iface, held;
    for (ScriptedCutter *cutter : {&a, &b, &added, &vendor, &product, &iface, &held})
        QVERIFY(cutter->start());
    const MockUsbDevice da = bed->plug("1-2", "lp0", 0, a.node.path());
    const MockUsbDevice db = bed->plug("1-3", "lp1", 1, b.node.path());
    bed->plug("1-5", "lp2", 2, sim.openUsbNode()); // the job's cutter, not the first entry
    bed->plug("1-6", "lp4", 4, vendor.node.path(), "1234", "5710");
    bed->plug("1-7", "lp5", 5, product.node.path(), "0483", "5711");
    bed->plug("1-8", "lp6", 6, iface.node.path(), "0483", "5710", "01");
    bed->plug("1-9", "lp7", 7, QStringLiteral("/nonexistent/lp"));
    bed->plug("2-2", "lp8", 8, held.node.path());
    const int other = openNode(held.node.path());
    UsbOperate usb;
    QCOMPARE(usb.listDevices(), (QStringList{"1-2:1.0", "1-3:1.0", "1-5:1.0", "2-2:1.0"}));
    ::close(other);
    QComboBox device;
    QPushButton connectBtn;
    auto refresh = [&] { refreshDeviceList(&device, &connectBtn, QStringLiteral("USB"), usb.listDevices()); };
    refresh();
    QCOMPARE(device.count(), 4);

    usb.setDevice("1-5:1.0");
    QElapsedTimer clock;
    clock.start();
    usb.setStopCondition([&] { return clock.elapsed() > 800; });
    // The read waits on the job's cutter on a thread of its own, as in the
    // cutter session, while this thread refreshes the list.
    std::thread job([&usb] { usb.readReply(); });
    QTRY_VERIFY(usb.holdsNode());
    connect(&watcher, &UsbHotplugWatcher::devicesChanged, this, refresh);
    bed->plug("1-4", "lp3", 3, added.node.path());
    QTRY_COMPARE(device.count(), 5);
    job.join();
    QCOMPARE(usb.device(), QStringLiteral("1-5:1.0"));
    QVERIFY(usb.holdsNode());
    // The two listings' probes, then the job's open; the refresh neither reopened nor closed it.
    QCOMPARE(sim.usbNode()->counters().opens, 3);
    QCOMPARE(sim.usbNode()->counters().closes, 2);

    // Two adjacent entries go in one refresh.
    bed->unplug(da);
    bed->unplug(db);
    QTRY_COMPARE(device.count(), 3);
    QCOMPARE(device.findText(QStringLiteral("1-3:1.0")), -1);
}

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
void TestLink::eachReadTakesOneReplyAsItCame()
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
void TestLink::wakeAndCancelEndWaits()
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

// Stop while the cutter takes no more of a long text: the rest is never sent
// (it would be cut once the cutter reads again), and the next command goes
// whole: over USB the node is closed, which cancels the write in flight; over
// the network on a new connection instead of landing inside the old text.
void TestLink::stopDropsWhatTheCutterDidNotTake()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.warning=false"));
    const auto logAgain = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
    ScriptedCutter cutter;
    QVERIFY(cutter.start());
    cutter.node.setStalled(true);
    UsbOperate usb;
    QElapsedTimer clock;
    plugCutter(usb, cutter.node.path(), clock);
    usb.setStopCondition([&] { return clock.elapsed() > 300; });
    const int closes = cutter.node.counters().closes;
    QVERIFY(!usb.sendCmd(QString(1 << 20, QLatin1Char('X'))) && usb.abandoned());
    QVERIFY(!usb.holdsNode());
    QTRY_COMPARE(cutter.node.counters().closes, closes + 1); // the driver has seen the close
    cutter.node.setStalled(false);
    usb.setStopCondition(nullptr);
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:5;")));
    QCOMPARE(cutter.received, QByteArray("CMD:5;")); // nothing of the stopped text

    NetRig rig;
    QVERIFY(rig.connected);
    rig.sim.faults().stalled = true;
    const QString text(16 << 20, QLatin1Char('X')); // more than the kernel's buffers hold
    clock.start();
    QVERIFY(rig.net.call([&](RJ45Socket &l) {
        l.setStopCondition([&clock] { return clock.elapsed() > 300; });
        return !l.sendCmd(text) && l.abandoned();
    }));
    rig.sim.resumeReading();
    QTest::qWait(300);
    // What was already in the cutter's buffers (a closed connection would
    // still deliver the kernel's send queue: megabytes).
    QVERIFY2(rig.sim.tcpBytesReceived() < (1 << 20), qPrintable(QString::number(rig.sim.tcpBytesReceived())));
    QVERIFY(rig.net.call([](RJ45Socket &l) { return l.setStopCondition(nullptr), l.sendCmd(QStringLiteral("CMD:5;")); }));
    QTRY_COMPARE(rig.sim.cutter().instructions(), QStringList{QStringLiteral("CMD:5")});
    QCOMPARE(rig.sim.connectionCount(), 2);
}

// The cutter switched off and on again: the poll goes on over a new
// connection, and every failed attempt tells the caller.
void TestLink::pollSurvivesCutterGoneAndBack()
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

// The address check; the log labels, coloured for a terminal, then back to
// the terminal's own colour (not black, which vanishes on a dark background),
// plain when the log is not a terminal; the cutter's position and mark replies.
void TestLink::textHelpers()
{
    for (const char *valid : {"192.168.0.100", "255.255.255.255", "010.001.000.099"})
        QVERIFY2(isValidIp(valid), valid);
    for (const char *invalid : {"192.168.0.256", "1.2.3.4.5", "1..3.4", "1.2.3.4\n", "1.2.3.0004",
                                "cutter.local", ""})
        QVERIFY2(!isValidIp(invalid), invalid);
    QCOMPARE(logLabel("Send:", 31, true), QByteArray("\x1b[31mSend:\x1b[0m"));
    QCOMPARE(logLabel("Recv:", 34, false), QByteArray("Recv:"));
    QCOMPARE(logLabel("Recv:", 34), QByteArray("Recv:")); // ctest's output is no terminal
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

QTEST_MAIN(TestLink)
#include "tst_link.moc"
