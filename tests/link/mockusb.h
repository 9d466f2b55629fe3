#pragma once
// A mocked sysfs/dev tree (umockdev) with cutter-like USB devices whose
// device nodes lead to nodes that keep the usblp driver's rules (UsblpNode),
// so they can be read, written, unplugged and re-plugged under the same name.
// Must be included before any Qt header (umockdev's GObject headers use the
// word "signals"). A simulated cutter goes behind a node with
// bed.plug("1-2", "lp0", 0, sim.openUsbNode()).
#include <umockdev.h>

#include <QByteArray>
#include <QList>
#include <QString>

struct MockUsbDevice
{
    QByteArray usb;   // sysfs paths, leaf last
    QByteArray iface;
    QByteArray lp;
};

class MockUsb
{
public:
    MockUsb();
    ~MockUsb() { g_object_unref(m_bed); }
    MockUsb(const MockUsb &) = delete;
    MockUsb &operator=(const MockUsb &) = delete;

    // True when sysfs is redirected to a testbed (ask after creating one).
    static bool inMockEnvironment() { return umockdev_in_mock_environment(); }

    // Adds a USB device "port" (e.g. "1-2") with interface "port:1.<ifnum>"
    // and the usbmisc node /dev/usb/<lp> leading to nodeTarget (a UsblpNode's
    // path; a path that does not exist gives a node that cannot be opened).
    MockUsbDevice plug(const QString &port, const QString &lp, int minor,
                       const QString &nodeTarget, const char *vendor = "0483",
                       const char *product = "5710", const char *ifnum = "00");
    // Sends "remove" and removes the devices, leaf first.
    void unplug(const MockUsbDevice &device);

private:
    QByteArray add(const char *subsystem, const QByteArray &name, const QByteArray &parent,
                   const QList<QByteArray> &attributes, const QList<QByteArray> &properties);

    UMockdevTestbed *m_bed;
    QByteArray m_root;
};
