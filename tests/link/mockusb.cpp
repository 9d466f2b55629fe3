#include "mockusb.h"

#include <QDir>
#include <QFile>

// A NULL-terminated list of the texts, as umockdev takes them.
static QVector<gchar *> argv(const QList<QByteArray> &texts)
{
    QVector<gchar *> list;
    for (const QByteArray &text : texts)
        list << const_cast<gchar *>(text.constData());
    return list << nullptr;
}

MockUsb::MockUsb() : m_bed(umockdev_testbed_new())
{
    gchar *root = umockdev_testbed_get_root_dir(m_bed);
    m_root = root;
    g_free(root);
}

QByteArray MockUsb::add(const char *subsystem, const QByteArray &name, const QByteArray &parent,
                        const QList<QByteArray> &attributes, const QList<QByteArray> &properties)
{
    gchar *path = umockdev_testbed_add_devicev(m_bed, subsystem, name.constData(),
                                               parent.isEmpty() ? nullptr : parent.constData(),
                                               argv(attributes).data(), argv(properties).data());
    const QByteArray result(path);
    g_free(path);
    return result;
}

MockUsbDevice MockUsb::plug(const QString &port, const QString &lp, int minor,
                            const QString &nodeTarget, const char *vendor, const char *product, const char *ifnum)
{
    MockUsbDevice d;
    const QByteArray portName = port.toUtf8();
    d.usb = add("usb", portName, QByteArray(),
                {"idVendor", vendor, "idProduct", product, "serial", "SN-" + portName},
                {"DEVTYPE", "usb_device"});
    d.iface = add("usb", portName + ":1." + QByteArray::number(QByteArray(ifnum).toInt()), d.usb,
                  {"bInterfaceNumber", ifnum, "bInterfaceClass", "07", "bInterfaceProtocol", "02"},
                  {"DEVTYPE", "usb_interface"});
    // The node exists before the device is announced, as with udev.
    const QString dir = QString::fromUtf8(m_root) + QStringLiteral("/dev/usb");
    QDir().mkpath(dir);
    QFile::remove(dir + QLatin1Char('/') + lp);
    QFile::link(nodeTarget, dir + QLatin1Char('/') + lp);
    const QByteArray minorText = QByteArray::number(minor);
    d.lp = add("usbmisc", lp.toUtf8(), d.iface, {"dev", "180:" + minorText},
               {"DEVNAME", "/dev/usb/" + lp.toUtf8(), "MAJOR", "180", "MINOR", minorText});
    return d;
}

void MockUsb::unplug(const MockUsbDevice &device)
{
    for (const QByteArray &path : {device.lp, device.iface, device.usb}) {
        umockdev_testbed_uevent(m_bed, path.constData(), "remove");
        umockdev_testbed_remove_device(m_bed, path.constData());
    }
}
