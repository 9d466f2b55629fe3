#pragma once
// The simulated cutter for the timed job tools: serving TCP on a free loopback
// port and its usblp node as the USB cutter "1-2:1.0" of a mocked udev tree,
// with a plot file written in a scratch folder and the USB link selecting the
// cutter. Needs the process to run under umockdev-wrapper.
#include "mockusb.h" // first: before any Qt header

#include "simserver.h"
#include "usboperate.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

struct UsbSimRig
{
    // False (with the reason on standard error) when the rig cannot be built.
    bool start(const QByteArray &plotText, int sheets)
    {
        if (!MockUsb::inMockEnvironment()) {
            std::fprintf(stderr, "run this under umockdev-wrapper\n");
            return false;
        }
        QFile plot(plotFile());
        if (!plot.open(QIODevice::WriteOnly) || plot.write(plotText) != plotText.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(plotFile()));
            return false;
        }
        sim.cutter().config().sheets = sheets;
        QString why;
        const QString node = sim.openUsbNode(&why);
        if (node.isEmpty() || !sim.listen(QHostAddress::LocalHost, 0)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(why));
            return false;
        }
        bed.plug(QStringLiteral("1-2"), QStringLiteral("lp0"), 0, node);
        usb.setDevice(QStringLiteral("1-2:1.0"));
        return true;
    }
    QString plotFile() const { return dir.filePath(QStringLiteral("box.plt")); }

    MockUsb bed;
    QTemporaryDir dir;
    CutterSimServer sim; // busy 300 ms after a job or a move
    UsbOperate usb;
};
