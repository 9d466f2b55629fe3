// The USB link, discovery and hot-plug against a mocked udev tree whose
// device nodes are ptys (run under umockdev-wrapper).
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
    void init();
    void cleanup();
    void listsOnlyOpenableCutterInterfaces();
    void replyIsOneTransferUpToNul_data();
    void replyIsOneTransferUpToNul();
    void readTimesOut();
    void deviceVanishingMidReadEndsRead();
    void absentDeviceReturnsAtOnce();
    void exchangesWithSimulatedCutter();
    void stopAbandonsSilentCutter();
    void stopAbandonsWriteNotTaken();
    void hotplugUpdatesDeviceList();
    void hotplugWithNetworkLeavesButtonAlone();
    void hotplugDuringTransferKeepsJobCutter();

private:
    // The cutter "1-2" behind `node`, selected on `usb`.
    MockUsbDevice plugCutter(UsbOperate &usb, const QString &node)
    {
        const MockUsbDevice device = bed->plug("1-2", "lp0", 0, node);
        usb.setDevice("1-2:1.0");
        return device;
    }
    std::unique_ptr<MockUsb> bed;
};

void TestUsbLink::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

void TestUsbLink::init()
{
    bed = std::make_unique<MockUsb>();
}

void TestUsbLink::cleanup()
{
    bed.reset();
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

    UsbOperate usb;
    QCOMPARE(usb.listDevices(), (QStringList{"1-2:1.0", "2-1:1.0"}));
    QCOMPARE(UsbDevices::nodeFor("2-1:1.0"), QStringLiteral("/dev/usb/lp5"));
    usb.setDevice("1-6:1.0"); // a cutter whose node does not open
    QVERIFY(!usb.deviceExists());
    usb.setDevice("1-3:1.0"); // not a cutter
    QVERIFY(!usb.deviceExists());
    usb.setDevice("2-1:1.0");
    QVERIFY(usb.deviceExists());
}

void TestUsbLink::replyIsOneTransferUpToNul_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("expected");
    const QByteArray exact64 = QByteArray(63, 'A') + ';';
    QTest::newRow("64 bytes") << exact64 << QString::fromLatin1(exact64);
    QTest::newRow("longer than 64") << exact64 + "rest;" << QString::fromLatin1(exact64);
    QTest::newRow("NUL inside") << QByteArray("OK;\0garbage", 11) << "OK;";
    QTest::newRow("Latin-1") << QByteArray("\xe9;") << QString::fromLatin1("\xe9;");
}

void TestUsbLink::replyIsOneTransferUpToNul()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, expected);
    RawPty pty;
    UsbOperate usb;
    plugCutter(usb, pty.slavePath);
    QVERIFY(pty.writeMaster(sent));
    QCOMPARE(usb.readReply(-1), expected);
    QCOMPARE(usb.reply(), expected);
}

void TestUsbLink::readTimesOut()
{
    RawPty pty;
    UsbOperate usb;
    plugCutter(usb, pty.slavePath);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(usb.readReply(1000), QString());
    QVERIFY2(clock.elapsed() >= 990 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!usb.abandoned());
}

void TestUsbLink::deviceVanishingMidReadEndsRead()
{
    RawPty pty;
    UsbOperate usb;
    const MockUsbDevice d = plugCutter(usb, pty.slavePath);
    QTimer::singleShot(200, this, [&] {
        pty.closeMaster(); // the cable is pulled while the read waits
        bed->unplug(d);
    });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(usb.readReply(-1), QString());
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!usb.deviceExists());
    QCOMPARE(usb.waitFree(), WaitOutcome::NoCutter);
}

void TestUsbLink::absentDeviceReturnsAtOnce()
{
    RawPty pty;
    UsbOperate usb;
    const MockUsbDevice d = plugCutter(usb, pty.slavePath);
    QVERIFY(pty.writeMaster("FREE;"));
    QCOMPARE(usb.readReply(), QStringLiteral("FREE;"));
    bed->unplug(d);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!usb.sendCmd(QStringLiteral("CMD:10;")));
    // The previous cutter's answer must not pass for a new one.
    QCOMPARE(usb.readReply(), QString());
    QCOMPARE(usb.reply(), QString());
    QCOMPARE(usb.waitFree(), WaitOutcome::NoCutter);
    QCOMPARE(usb.waitReply(QStringLiteral("OK;")), WaitOutcome::NoCutter);
    QVERIFY(clock.elapsed() < 300);
    usb.setDevice("9-9:1.0");
    QVERIFY(!usb.deviceExists());
}

void TestUsbLink::exchangesWithSimulatedCutter()
{
    SimConfig config;
    config.busyMs = 700;
    CutterSimServer sim(config);
    UsbOperate usb;
    plugCutter(usb, sim.openPty());

    const QString job = QStringLiteral("MD0,0,400,800,3;IN;PA;SP1;PU0,0;PD100,0;PU;SP2;PU0,0;PD0,100;PU;!PG;");
    QVERIFY(usb.sendCmd(job));
    QCOMPARE(usb.readReply(), QStringLiteral("MD_OK;"));
    QCOMPARE(usb.waitFree(), WaitOutcome::Done);
    const QStringList seen = sim.cutter().instructions();
    QVERIFY(seen.count(QStringLiteral("CMD:10")) >= 2); // busy once, then free
    QCOMPARE(seen.first(), QStringLiteral("MD0,0,400,800,3"));
    QCOMPARE(sim.cutter().finishedSheets().size(), 1);

    usb.sendCmd(QStringLiteral("SP2;PU1200,-35;CMD:203;"));
    QCOMPARE(usb.readReply(), QStringLiteral("1200,-35;"));
    usb.sendCmd(QStringLiteral("CMD:109,0,0,0,0;"));
    QCOMPARE(usb.waitReply(QStringLiteral("FEEDOK;")), WaitOutcome::Done);
}

void TestUsbLink::stopAbandonsSilentCutter()
{
    CutterSimServer sim;
    sim.faults().silent = true;
    UsbOperate usb;
    plugCutter(usb, sim.openPty());
    bool stop = false;
    usb.setStopCondition([&] { return stop; });
    QTimer::singleShot(300, this, [&] { stop = true; });
    usb.sendCmd(QStringLiteral("CMD:5;"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(usb.readReply(-1), QString());
    QVERIFY(usb.abandoned());
    QVERIFY(clock.elapsed() < 1500);

    stop = false;
    QTimer::singleShot(900, this, [&] { stop = true; });
    QCOMPARE(usb.waitReply(QStringLiteral("OK;")), WaitOutcome::Stopped);
    stop = false;
    QVERIFY(usb.sendCmd(QStringLiteral("CMD:6;"))); // the link is usable again
}

void TestUsbLink::stopAbandonsWriteNotTaken()
{
    RawPty pty; // nobody reads the cutter's end: the line fills up
    UsbOperate usb;
    plugCutter(usb, pty.slavePath);
    bool stop = false;
    usb.setStopCondition([&] { return stop; });
    QTimer::singleShot(300, this, [&] { stop = true; });
    QElapsedTimer clock;
    clock.start();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); // not a megabyte of "Send:"
    const bool sent = usb.sendCmd(QString(1 << 20, QLatin1Char('X')));
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(!sent);
    QVERIFY(usb.abandoned());
    QVERIFY(clock.elapsed() < 1500);
}

void TestUsbLink::hotplugUpdatesDeviceList()
{
    UsbHotplugWatcher watcher; // watching before the first scan
    QVERIFY(watcher.isActive());
    UsbOperate usb;
    QComboBox device;
    QPushButton connectBtn;
    const QString devType = QStringLiteral("USB");
    refreshDeviceList(&device, &connectBtn, devType, usb);
    QCOMPARE(device.count(), 0);
    QVERIFY(!connectBtn.isEnabled());
    int refreshes = 0;
    connect(&watcher, &UsbHotplugWatcher::devicesChanged, this, [&] {
        ++refreshes;
        refreshDeviceList(&device, &connectBtn, devType, usb);
    });
    auto items = [&device] {
        QStringList texts;
        for (int i = 0; i < device.count(); ++i)
            texts << device.itemText(i);
        return texts;
    };

    RawPty a, b, c;
    const MockUsbDevice da = bed->plug("1-2", "lp0", 0, a.slavePath);
    QTRY_COMPARE(items(), QStringList{"1-2:1.0"});
    QVERIFY(connectBtn.isEnabled());
    const MockUsbDevice db = bed->plug("1-3", "lp1", 1, b.slavePath);
    const MockUsbDevice dc = bed->plug("1-1", "lp2", 2, c.slavePath);
    QTRY_COMPARE(items(), (QStringList{"1-2:1.0", "1-1:1.0", "1-3:1.0"}));
    device.setCurrentIndex(2); // "1-3:1.0"

    // Two adjacent entries go at once; the selection stays on its cutter.
    bed->unplug(da);
    bed->unplug(dc);
    QTRY_COMPARE(items(), QStringList{"1-3:1.0"});
    QCOMPARE(device.currentText(), QStringLiteral("1-3:1.0"));
    QVERIFY(connectBtn.isEnabled());

    // Re-plugged under the same name, on another lp number.
    const MockUsbDevice da2 = bed->plug("1-2", "lp0", 0, a.slavePath);
    QTRY_COMPARE(items(), (QStringList{"1-3:1.0", "1-2:1.0"}));
    bed->unplug(db);
    bed->unplug(da2);
    QTRY_COMPARE(items(), QStringList());
    QVERIFY(!connectBtn.isEnabled());
    QVERIFY(refreshes >= 2);
}

void TestUsbLink::hotplugWithNetworkLeavesButtonAlone()
{
    UsbHotplugWatcher watcher;
    UsbOperate usb;
    QComboBox device;
    QPushButton connectBtn;
    connectBtn.setEnabled(true);
    connect(&watcher, &UsbHotplugWatcher::devicesChanged, this,
            [&] { refreshDeviceList(&device, &connectBtn, QStringLiteral("RJ45"), usb); });
    RawPty a;
    const MockUsbDevice d = bed->plug("1-2", "lp0", 0, a.slavePath);
    QTRY_COMPARE(device.count(), 1);
    bed->unplug(d);
    QTRY_COMPARE(device.count(), 0);
    QVERIFY(connectBtn.isEnabled());
    connectBtn.setEnabled(false);
    bed->plug("1-2", "lp0", 0, a.slavePath);
    QTRY_COMPARE(device.count(), 1);
    QVERIFY(!connectBtn.isEnabled());
}

void TestUsbLink::hotplugDuringTransferKeepsJobCutter()
{
    UsbHotplugWatcher watcher;
    CutterSimServer sim;
    sim.faults().silent = true;
    RawPty other, added;
    bed->plug("1-2", "lp0", 0, sim.openPty());
    bed->plug("1-3", "lp1", 1, other.slavePath);
    UsbOperate usb;
    QComboBox device;
    QPushButton connectBtn;
    refreshDeviceList(&device, &connectBtn, QStringLiteral("USB"), usb);
    QCOMPARE(device.count(), 2);
    connect(&watcher, &UsbHotplugWatcher::devicesChanged, this,
            [&] { refreshDeviceList(&device, &connectBtn, QStringLiteral("USB"), usb); });

    usb.setDevice("1-2:1.0");
    bool stop = false;
    usb.setStopCondition([&] { return stop; });
    QTimer::singleShot(100, this, [&] { bed->plug("1-4", "lp2", 2, added.slavePath); });
    QTimer::singleShot(800, this, [&] { stop = true; });
    usb.readReply(); // the refresh runs while this read waits
    QCOMPARE(device.count(), 3);
    QCOMPARE(usb.device(), QStringLiteral("1-2:1.0"));
}

QTEST_MAIN(TestUsbLink)
#include "tst_usblink.moc"
