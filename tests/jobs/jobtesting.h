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

Q_DECLARE_METATYPE(JobProcedure)

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

// A design whose outer square comes before the inner one, so ordering inner
// first changes the text; 4000 x 3000 plotter units.
inline QString outerFirstPlot(const QString &header = QStringLiteral("MD0,0,4000,3000,4;"))
{
    return header
        + QStringLiteral("\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\n"
                         "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n"
                         "PU1800,1300;PD2200,1300,2200,1700,1800,1700,1800,1300;\n!PG;\n");
}

// A cutter that is never busy.
inline SimConfig instantCutter()
{
    SimConfig config;
    config.busyMs = 0;
    return config;
}

// The simulated cutter listening on loopback and the job procedures wired to
// it through Host over both links (USB tests plug the sim's pty into a mocked
// udev tree and select it). Status polls are shortened unless a test sets them.
template <class Host> struct BasicRig
{
    static constexpr int kTestPollPauseMs = 50;

    explicit BasicRig(const SimConfig &config = instantCutter())
        : sim(std::make_unique<CutterSimServer>(config))
    {
        sim->listen(QHostAddress::LocalHost, 0);
        net = std::make_unique<RJ45Socket>(nullptr, sim->serverPort());
        usb.pollPauseMs = kTestPollPauseMs;
        net->pollPauseMs = kTestPollPauseMs;
        jobs = std::make_unique<CutterJobs>(host, usb, *net);
        host.settings.cutterAddress = QStringLiteral("127.0.0.1");
        jobs->calibrationPatternPath = QStringLiteral(CUTTERDESK_SOURCE_DIR "/jobs/CIR.plt");
    }

    // Everything the cutter received, each instruction closed by ";".
    QString received()
    {
        const QStringList seen = sim->cutter().instructions();
        return seen.isEmpty() ? QString() : seen.join(QLatin1Char(';')) + QLatin1Char(';');
    }

    // Writes a file into the rig's folder; returns its path.
    QString writePlot(const QString &name, const QString &text)
    {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        return file.fileName();
    }

    // base.plt (with `header`) as the plot file, and job7.plt (digit 5) that
    // the cutter's QR code "job7" names.
    void usePlots(const QString &header = QStringLiteral("MD0,0,4000,3000,4;"),
                  const QString &qrHeader = QStringLiteral("MD0,0,4000,3000,5;"))
    {
        host.settings.plotFile = writePlot(QStringLiteral("base.plt"), outerFirstPlot(header));
        writePlot(QStringLiteral("job7.plt"), outerFirstPlot(qrHeader));
        sim->cutter().config().qrReplies = QStringList{QStringLiteral("job7")};
    }

    void run(JobProcedure procedure) { (jobs.get()->*procedure)(); }

    Host host;
    QTemporaryDir dir;
    std::unique_ptr<CutterSimServer> sim;
    UsbOperate usb;
    std::unique_ptr<RJ45Socket> net;
    std::unique_ptr<CutterJobs> jobs;
};

using SimRig = BasicRig<FakeHost>;
