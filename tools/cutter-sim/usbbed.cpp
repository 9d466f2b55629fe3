#include <umockdev.h> // first: its GObject headers use the word "signals"

#include "usbbed.h"

#include <QDir>
#include <QFile>
#include <QVector>

struct UsbTestbed::Bed
{
    UMockdevTestbed *testbed = umockdev_testbed_new(); // sets UMOCKDEV_DIR here
    QString root;

    // Adds one device; returns its sysfs path ("" on failure).
    QByteArray add(const char *subsystem, const char *name, const QByteArray &parent,
                   QVector<const char *> attributes, QVector<const char *> properties)
    {
        attributes << nullptr;
        properties << nullptr;
        gchar *path = umockdev_testbed_add_devicev(testbed, subsystem, name,
                                                   parent.isEmpty() ? nullptr : parent.constData(),
                                                   const_cast<gchar **>(attributes.data()),
                                                   const_cast<gchar **>(properties.data()));
        const QByteArray result(path);
        g_free(path);
        return result;
    }
};

UsbTestbed::UsbTestbed() : m_bed(std::make_unique<Bed>())
{
    gchar *root = umockdev_testbed_get_root_dir(m_bed->testbed);
    m_bed->root = QString::fromLocal8Bit(root);
    g_free(root);
}

UsbTestbed::~UsbTestbed()
{
    g_object_unref(m_bed->testbed); // removes the tree
}

QString UsbTestbed::rootDir() const
{
    return m_bed->root;
}

bool UsbTestbed::plugCutter(const QString &nodePath)
{
    const QByteArray usb = m_bed->add("usb", "1-2", QByteArray(),
                                      {"idVendor", "0483", "idProduct", "5710", "serial", "SIM-1-2"},
                                      {"DEVTYPE", "usb_device"});
    // Protocol 02: bidirectional, so usblp would let the replies be read.
    const QByteArray iface = m_bed->add("usb", "1-2:1.0", usb,
                                        {"bInterfaceNumber", "00", "bInterfaceClass", "07",
                                         "bInterfaceProtocol", "02"},
                                        {"DEVTYPE", "usb_interface"});
    if (usb.isEmpty() || iface.isEmpty())
        return false;
    // The node exists before the device is announced, as with udev.
    const QString dir = m_bed->root + QStringLiteral("/dev/usb");
    if (!QDir().mkpath(dir) || !QFile::link(nodePath, dir + QStringLiteral("/lp0")))
        return false;
    return !m_bed->add("usbmisc", "lp0", iface, {"dev", "180:0"},
                       {"DEVNAME", "/dev/usb/lp0", "MAJOR", "180", "MINOR", "0"})
                .isEmpty();
}

QProcessEnvironment UsbTestbed::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("UMOCKDEV_DIR"), m_bed->root);
    const QString preload = QStringLiteral("libumockdev-preload.so.0");
    const QString before = env.value(QStringLiteral("LD_PRELOAD"));
    if (!before.split(QLatin1Char(':')).contains(preload))
        env.insert(QStringLiteral("LD_PRELOAD"), before.isEmpty() ? preload : preload + QLatin1Char(':') + before);
    return env;
}
