#pragma once
// A stand-in for the main window (settings as plain values, the boxes and the
// state label recorded) and the simulated cutter on loopback with both links.
#include "cutterjobs.h"
#include "jobhost.h"
#include "rj45socket.h"
#include "simserver.h"
#include "usboperate.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class FakeHost : public JobHost
{
public:
    JobSettings settings;
    bool running = true;
    bool confirm = true;
    QStringList states;
    int connectErrors = 0;
    QList<bool> originBoxes; // false: "Set", true: "Back"
    int calibrationDone = 0;

    JobSettings jobSettings() const override { return settings; }
    bool jobRunning() const override { return running; }
    void showJobState(const QString &text) override
    {
        if (states.isEmpty() || states.last() != text)
            states << text;
    }
    void showConnectError() override { ++connectErrors; }
    void showOriginDone(bool back) override { originBoxes << back; }
    bool confirmCalibration() override { return confirm; }
    void showCalibrationDone() override { ++calibrationDone; }
};

// The simulated cutter (no busy time unless a test sets one) and the job
// procedures wired to it over the network link. USB rows plug the sim's pty
// into a mocked udev tree first and select it.
struct SimRig
{
    static constexpr int kTestPollPauseMs = 50;

    explicit SimRig(int busyMs = 0)
    {
        SimConfig config;
        config.busyMs = busyMs;
        sim = std::make_unique<CutterSimServer>(config);
        sim->listen(QHostAddress::LocalHost, 0);
        net = std::make_unique<RJ45Socket>(nullptr, sim->serverPort());
        // Short status polls keep the suite fast; the program polls every 500 ms.
        usb.pollPauseMs = kTestPollPauseMs;
        net->pollPauseMs = kTestPollPauseMs;
        jobs = std::make_unique<CutterJobs>(host, usb, *net);
        host.settings.cutterAddress = QStringLiteral("127.0.0.1");
        jobs->calibrationPatternPath = QStringLiteral(CUTTERDESK_SOURCE_DIR "/jobs/CIR.plt");
    }

    // Everything the cutter received, each instruction closed by ";".
    QString received() const
    {
        const QStringList seen = sim->cutter().instructions();
        return seen.isEmpty() ? QString() : seen.join(QLatin1Char(';')) + QLatin1Char(';');
    }

    // Writes a plot file into the rig's folder; returns its path.
    QString writePlot(const QString &name, const QString &text)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        return path;
    }

    FakeHost host;
    QTemporaryDir dir;
    std::unique_ptr<CutterSimServer> sim;
    UsbOperate usb;
    std::unique_ptr<RJ45Socket> net;
    std::unique_ptr<CutterJobs> jobs;
};

// A design whose outer square comes before the inner one, so ordering inner
// first changes the text; 4000 x 3000 plotter units.
inline QString outerFirstPlot(const QString &header = QStringLiteral("MD0,0,4000,3000,4;"))
{
    return header
        + QStringLiteral("\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\n"
                         "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n"
                         "PU1800,1300;PD2200,1300,2200,1700,1800,1700,1800,1300;\n!PG;\n");
}
