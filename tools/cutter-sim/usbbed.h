#pragma once
#include <QProcessEnvironment>
#include <QString>

#include <memory>

// The simulated cutter as a USB cutter for another program: a mocked
// sysfs/dev tree (umockdev testbed) holding the cutter's USB device "1-2"
// (vendor 0483, product 5710), its printer-class interface "1-2:1.0"
// (bidirectional) and the usbmisc node /dev/usb/lp0, which leads to the
// simulator's node (UsblpNode). A program started with environment() (the umockdev
// preload first, UMOCKDEV_DIR set) sees that cutter through libudev and
// opens the node as it would open the real one. The tree is removed when
// the object goes.
class UsbTestbed
{
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed &) = delete;
    UsbTestbed &operator=(const UsbTestbed &) = delete;

    // Adds the cutter with its node leading to nodePath; false on failure.
    bool plugCutter(const QString &nodePath);
    // The name the program's device list shows for it.
    static QString instanceName() { return QStringLiteral("1-2:1.0"); }
    QString rootDir() const;
    // The calling process's environment with the testbed and the preload.
    QProcessEnvironment environment() const;

private:
    struct Bed;
    std::unique_ptr<Bed> m_bed;
};
