// How long the GUI thread keeps a posted event waiting while a job runs with
// the program's own pauses: a four-place matrix job over the network link
// (the trigger pressed at each wait) and one auto-feed sheet (mode 8) over
// the USB link, both against the simulated cutter in this process. A 2 ms
// timer posts a zero-delay event; its lateness is what a click would wait.
// Needs the mocked udev tree: run it under umockdev-wrapper. Exits with 1
// when an event waited 20 ms or longer.
//
//   umockdev-wrapper build/release/bench/jobs/jobs_eventwait
#include "usbsimrig.h" // first: before any Qt header

#include "eventprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double kLimitMs = 20.0;

class Host : public JobHost
{
public:
    JobSettings settings;
    int presses = 0; // trigger presses left; then the job is stopped
    JobSettings jobSettings() const override { return settings; }
    void showJobState(const QString &) override {}
    void showResult(const QString &, bool) override {}
    void showConnectError() override {}
    void showOriginDone(bool) override {}
    bool confirmCalibration() override { return false; }
    void showCalibrationDone() override {}
    void setSheetsLeft(int count) override { settings.feed.sheetsLeft = count; }
};

// Runs `job` while a 2 ms timer measures how late posted events are handled.
std::vector<double> measure(const std::function<void()> &job)
{
    EventProbe probe(2);
    job();
    probe.stop();
    QCoreApplication::processEvents(); // the last posted probe
    return probe.lateMs;
}

bool report(const char *what, std::vector<double> lateMs, qint64 runMs)
{
    std::sort(lateMs.begin(), lateMs.end());
    const double worst = lateMs.empty() ? 0 : lateMs.back();
    const double median = lateMs.empty() ? 0 : lateMs[lateMs.size() / 2];
    std::printf("%-44s %6.1f s  %6zu probes  median %5.2f ms  worst %6.2f ms\n", what, runMs / 1000.0,
                lateMs.size(), median, worst);
    return worst < kLimitMs;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.info=false");
    QApplication app(argc, argv);
    UsbSimRig rig;
    if (!rig.start("MD0,0,4000,3000,4;\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\n"
                   "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n!PG;\n",
                   100))
        return 2;
    Host host;
    host.settings.plotFile = rig.plotFile();
    host.settings.cutterAddress = QStringLiteral("127.0.0.1");
    host.settings.matrix = MatrixLayout::Four;
    host.settings.gapFirstMm = host.settings.gapSecondMm = 5;
    host.settings.feed.feedDistMm = 300;
    host.settings.feed.ejectDistMm = 400;
    host.settings.usbDevice = QString::fromLatin1(UsbSimRig::kCutter);
    CutterSession session(host);
    session.options.cutterPort = rig.sim.serverPort();
    // The operator presses the trigger a moment after the job waits for it, then Stop.
    QObject::connect(&session, &CutterSession::triggerArmed, &session, [&](bool armed) {
        if (armed)
            QTimer::singleShot(100, &session, [&] { host.presses-- > 0 ? session.trigger() : session.requestStop(); });
    });

    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    host.presses = 3; // four sheets, one on each place
    const std::vector<double> matrix = measure([&] { runJob(session, 3, JobLink::Network); });
    ok = report("matrix job, 4 places (network)", matrix, clock.restart()) && ok;

    host.settings.feed.sheetsLeft = 1;
    const std::vector<double> sheet = measure([&] { runJob(session, 8, JobLink::Usb); });
    ok = report("auto-feed sheet, mode 8 (USB)", sheet, clock.restart()) && ok;
    std::printf("sheets cut: %d\n", int(rig.sim.cutter().finishedSheets().size()));
    return ok ? 0 : 1;
}
