#pragma once
#include <QObject>
#include <QString>
#include <QVector>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Cutters attached over USB. The cutter's printer-class interface (vendor
// 0483, product 5710, interface 00) is bound by the kernel's usblp driver and
// appears as a usbmisc device /dev/usb/lpN. A cutter is named by its
// interface's sysfs name (for example "1-2:1.0"), which stays the same for a
// USB port, while the kernel hands out lpN numbers in plug order.
namespace UsbDevices {

struct Cutter
{
    QString instance; // interface sysfs name
    QString node;     // current device node, /dev/usb/lpN
};

// Every attached cutter, in udev enumeration order (openable or not).
QVector<Cutter> attachedCutters();
// The device node of the cutter with that instance name; empty when none.
QString nodeFor(const QString &instance);

} // namespace UsbDevices

// Watches udev for usbmisc devices coming and going. Listens on the "udev"
// source, so an event arrives after udev has set the node's permissions.
// Create it before the first scan of the device list, so no plug-in between
// scan and watch is missed. Each wake drains every pending event and then
// emits devicesChanged() once.
class UsbHotplugWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UsbHotplugWatcher(QObject *parent = nullptr);
    ~UsbHotplugWatcher() override;
    // false when udev could not be reached; no signal will come then.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void devicesChanged();

private:
    void drain();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
