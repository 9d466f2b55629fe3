#pragma once
// The simulated cutter for the timed job tools: serving TCP on a free loopback
// port and its usblp node as the USB cutter "1-2:1.0" of a mocked udev tree,
// with a plot file written in a scratch folder. Needs the process to run
// under umockdev-wrapper.
#include "mockusb.h" // first: before any Qt header

#include "cuttersession.h"
#include "simserver.h"

#include <QEventLoop>
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
        return true;
    }
    QString plotFile() const { return dir.filePath(QStringLiteral("box.plt")); }

    MockUsb bed;
    QTemporaryDir dir;
    CutterSimServer sim; // busy 300 ms after a job or a move
    static constexpr const char *kCutter = "1-2:1.0"; // the USB cutter's interface name
};

// Starts a job on the session and handles this thread's events (the window's
// part, the simulator) until it is over.
inline void runJob(CutterSession &session, int mode, JobLink link)
{
    QEventLoop over;
    QObject::connect(&session, &CutterSession::finished, &over, &QEventLoop::quit);
    if (session.startJob(kWorkModes.at(size_t(mode)), link))
        over.exec();
}
