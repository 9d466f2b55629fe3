#include "usbdevices.h"

#include <QSocketNotifier>

#include <libudev.h>

namespace UsbDevices {
namespace {

const char *const kVendor = "0483";
const char *const kProduct = "5710";
const char *const kInterface = "00";

bool attrIs(udev_device *dev, const char *name, const char *value)
{
    const char *attr = udev_device_get_sysattr_value(dev, name);
    return attr && QByteArray(attr).trimmed().toLower() == QByteArray(value);
}

// The interface name when dev is the usbmisc node of a cutter, else empty.
QString cutterInstance(udev_device *dev)
{
    udev_device *iface = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_interface");
    udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
    if (!iface || !usb || !attrIs(iface, "bInterfaceNumber", kInterface) || !attrIs(usb, "idVendor", kVendor)
        || !attrIs(usb, "idProduct", kProduct))
        return QString();
    return QString::fromUtf8(udev_device_get_sysname(iface));
}

} // namespace

QVector<Cutter> attachedCutters()
{
    QVector<Cutter> cutters;
    udev *u = udev_new();
    if (!u)
        return cutters;
    udev_enumerate *e = udev_enumerate_new(u);
    udev_enumerate_add_match_subsystem(e, "usbmisc");
    udev_enumerate_scan_devices(e);
    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
    {
        udev_device *dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
        if (!dev)
            continue;
        const char *node = udev_device_get_devnode(dev);
        const QString instance = cutterInstance(dev);
        if (node && !instance.isEmpty())
            cutters.append({instance, QString::fromUtf8(node)});
        udev_device_unref(dev);
    }
    udev_enumerate_unref(e);
    udev_unref(u);
    return cutters;
}

QString nodeFor(const QString &instance)
{
    if (instance.isEmpty())
        return QString();
    for (const Cutter &c : attachedCutters()) {
        if (c.instance == instance)
            return c.node;
    }
    return QString();
}

} // namespace UsbDevices

UsbHotplugWatcher::UsbHotplugWatcher(QObject *parent) : QObject(parent)
{
    m_udev = udev_new();
    if (!m_udev)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usbmisc", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0)
        return;
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UsbHotplugWatcher::drain);
}

UsbHotplugWatcher::~UsbHotplugWatcher()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void UsbHotplugWatcher::drain()
{
    // The monitor socket does not block: read until it is empty, then refresh once.
    while (udev_device *dev = udev_monitor_receive_device(m_monitor))
        udev_device_unref(dev);
    emit devicesChanged();
}
