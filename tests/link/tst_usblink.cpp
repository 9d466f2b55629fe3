// The USB link, discovery and hot-plug against a mocked udev tree whose
// device nodes are ptys (run under umockdev-wrapper). Exchanges with a busy,
// silent or vanishing cutter over USB are covered by the job transcripts.
#include "mockusb.h" // first: before any Qt header

#include "devicelist.h"
#include "simserver.h"
#include "usbdevices.h"
#include "usboperate.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

class TestUsbLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { bed = std::make_unique<MockUsb>(); }
    void cleanup() { bed.reset(); }
    void listsOnlyOpenableCutterInterfaces();
    void replyIsOneTransferUpToNul();
    void unpluggedCutterGivesNoReply();
    void stopAbandonsWriteNotTaken();
    void hotplugRefreshKeepsJobCutter();

private:
    // The cutter "1-2" behind `node`, selected on `usb`.
    MockUsbDevice plugCutter(UsbOperate &usb, const QString &node)
    {
        usb.setDevice("1-2:1.0");
        return bed->plug("1-2", "lp0", 0, node);
    }
    std::unique_ptr<MockUsb> bed;
};

void TestUsbLink::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

void TestUsbLink::listsOnlyOpenableCutterInterfaces()
{
    RawPty a, b, c, d, e;
    bed->plug("1-2", "lp0", 0, a.slavePath);
    bed->plug("1-3", "lp1", 1, b.slavePath, "1234", "5710");
    bed->plug("1-4", "lp2", 2, c.slavePath, "0483", "5711");
    bed->plug("1-5", "lp3", 3, d.slavePath, "0483", "5710", "01");
    bed->plug("1-6", "lp4", 4, QStringLiteral("/nonexistent/pts"));
    bed->plug("2-1", "lp5", 5, e.slavePath);
    QCOMPARE(UsbOperate().listDevices(), (QStringList{"1-2:1.0", "2-1:1.0"}));
}

// One read is one transfer of at most 64 bytes, cut at a NUL; Latin-1.
void TestUsbLink::replyIsOneTransferUpToNul()
{
    RawPty pty;
    UsbOperate usb;
    plugCutter(usb, pty.slavePath);
    const QByteArray exact64 = QByteArray(63, 'A') + ';';
    QVERIFY(pty.writeMaster(exact64 + "\xe9;"));
    QCOMPARE(usb.readReply(-1), QString::fromLatin1(exact64));
    QCOMPARE(usb.readReply(-1), QString::fromLatin1("\xe9;")); // the rest comes as the next reply
    QVERIFY(pty.writeMaster(QByteArray("OK;\0garbage", 11)));
    QCOMPARE(usb.readReply(-1), QStringLiteral("OK;"));
    QCOMPARE(usb.reply(), QStringLiteral("OK;"));
}

void TestUsbLink::unpluggedCutterGivesNoReply()
{
    RawPty pty;
    UsbOperate usb;
    const MockUsbDevice d = plugCutter(usb, pty.slavePath);
    QVERIFY(pty.writeMaster("FREE;"));
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
    bed->unplug(d);
    // The last answer must not pass for a new one, nor a missing cutter for an idle one.
    QElapsedTimer clock;
    clock.start();
    // Should the waits look for an answer again, they fail here instead of hanging.
    usb.setStopCondition([&] { return clock.elapsed() > 2000; });
    QVERIFY(!usb.sendCmd(QStringLiteral("CMD:10;")));
    QCOMPARE(usb.readReply(), QString());
    QCOMPARE(usb.reply(), QString());
    QCOMPARE(usb.waitFree(), WaitOutcome::NoCutter);
    QCOMPARE(usb.waitReply(QStringLiteral("OK;")), WaitOutcome::NoCutter);
    QVERIFY(clock.elapsed() < 300);
}

void TestUsbLink::stopAbandonsWriteNotTaken()
{
    RawPty pty; // nobody reads the cutter's end: the line fills up
    UsbOperate usb;
    plugCutter(usb, pty.slavePath);
    bool stop = false;
    usb.setStopCondition([&] { return stop; });
    QTimer::singleShot(300, this, [&] { stop = true; });
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); // no 1 MB "Send:"
    const bool sent = usb.sendCmd(QString(1 << 20, QLatin1Char('X')));
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(!sent);
    QVERIFY(usb.abandoned());
}

void TestUsbLink::hotplugRefreshKeepsJobCutter()
{
    UsbHotplugWatcher watcher; // watching before the first scan
    CutterSimServer sim;
    sim.faults().silent = true;
    RawPty a, b, added;
    const MockUsbDevice da = bed->plug("1-2", "lp0", 0, a.slavePath);
    const MockUsbDevice db = bed->plug("1-3", "lp1", 1, b.slavePath);
    bed->plug("1-5", "lp2", 2, sim.openPty()); // the job's cutter, not the first entry
    UsbOperate usb;
    QComboBox device;
    QPushButton connectBtn;
    auto refresh = [&] { refreshDeviceList(&device, &connectBtn, QStringLiteral("USB"), usb); };
    refresh();
    QCOMPARE(device.count(), 3);
    connect(&watcher, &UsbHotplugWatcher::devicesChanged, this, refresh);

    usb.setDevice("1-5:1.0");
    bool stop = false;
    usb.setStopCondition([&] { return stop; });
    QTimer::singleShot(100, this, [&] { bed->plug("1-4", "lp3", 3, added.slavePath); });
    QTimer::singleShot(800, this, [&] { stop = true; });
    usb.readReply(); // the refresh runs while this read holds the job's cutter open
    QCOMPARE(device.count(), 4);
    QCOMPARE(usb.device(), QStringLiteral("1-5:1.0"));

    // Two adjacent entries go in one refresh.
    bed->unplug(da);
    bed->unplug(db);
    QTRY_COMPARE(device.count(), 2);
    QCOMPARE(device.findText(QStringLiteral("1-3:1.0")), -1);
}

QTEST_MAIN(TestUsbLink)
#include "tst_usblink.moc"
