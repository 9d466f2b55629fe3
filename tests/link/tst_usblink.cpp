// The USB link, discovery and hot-plug against a mocked udev tree whose
// device nodes keep the kernel printer driver's rules (UsblpNode: one open at
// a time, unread replies lost at close, the device answering at once); run
// under umockdev-wrapper. Exchanges with a busy, silent or vanishing cutter
// in a job are covered by the job transcripts.
#include "mockusb.h" // first: before any Qt header

#include "devicelist.h"
#include "simserver.h"
#include "usbdevices.h"
#include "usblpnode.h"
#include "usboperate.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <cerrno>
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

class TestUsbLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { bed = std::make_unique<MockUsb>(); }
    void cleanup() { bed.reset(); }
    void driverModelKeepsUsblpRules();
    void repliesStaleRepliesAndAnotherProgram();
    void nodeHeldUntilUnpluggedOrLetGo();
    void stopAbandonsWriteNotTaken();
    void hotplugRefreshKeepsJobCutter();

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

void TestUsbLink::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

// The rig itself, as the program's system calls meet it: the tests below
// rely on these rules to catch a link that would lose replies on a real cutter.
void TestUsbLink::driverModelKeepsUsblpRules()
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
    QCOMPARE(::poll(&p, 1, 0), 1);
    QVERIFY(p.revents & POLLHUP);
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
void TestUsbLink::repliesStaleRepliesAndAnotherProgram()
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
    QVERIFY(!usb.deviceExists());
    QVERIFY(!usb.sendCmd(QStringLiteral("CMD:10;")));
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
// cutter again. Selecting another cutter lets it go.
void TestUsbLink::nodeHeldUntilUnpluggedOrLetGo()
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
    QVERIFY(clock.elapsed() < 300);
    QVERIFY(!usb.holdsNode());

    sim.usbNode()->plug();
    plugCutter(usb, node, clock, "lp3");
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
    QCOMPARE(usb.waitFree(), WaitOutcome::Done);
    QVERIFY(usb.holdsNode());
    const int closes = sim.usbNode()->counters().closes;
    usb.setDevice(QStringLiteral("1-3:1.0"));
    QVERIFY(!usb.holdsNode());
    QTRY_COMPARE(sim.usbNode()->counters().closes, closes + 1);
}

void TestUsbLink::stopAbandonsWriteNotTaken()
{
    ScriptedCutter cutter;
    QVERIFY(cutter.start());
    cutter.node.setStalled(true); // the cutter takes nothing more
    UsbOperate usb;
    QElapsedTimer clock;
    plugCutter(usb, cutter.node.path(), clock);
    usb.setStopCondition([&] { return clock.elapsed() > 300; });
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
    const bool sent = usb.sendCmd(QString(1 << 20, QLatin1Char('X')));
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(!sent);
    QVERIFY(usb.abandoned());
    QVERIFY(usb.holdsNode()); // still the cutter's: the next command may go through
}

// The list holds the attached cutter interfaces (0483:5710, interface 00)
// whose node opens or is held by another program; not those whose node
// cannot be opened. A refresh while a job waits on its cutter keeps it.
void TestUsbLink::hotplugRefreshKeepsJobCutter()
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

QTEST_MAIN(TestUsbLink)
#include "tst_usblink.moc"
