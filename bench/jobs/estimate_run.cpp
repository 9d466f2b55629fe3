// How far the auto-feed time-left estimate is from the time a run really
// still needed: a run of mode 6 (blank, single feed) against the simulated
// cutter over the USB link, with the program's own pauses and feed interval.
// Every state that carries an estimate is compared with the run's real end.
// Needs the mocked udev tree: run it under umockdev-wrapper.
//
//   umockdev-wrapper build/release/bench/jobs/estimate_run [sheets, default 10]
#include "usbsimrig.h" // first: before any Qt header


#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Estimate
{
    qint64 atMs;   // since the run began
    qint64 leftMs; // what the state line said
};

class Host : public JobHost
{
public:
    JobSettings settings;
    QElapsedTimer clock;
    std::vector<Estimate> estimates;
    JobSettings jobSettings() const override { return settings; }
    void showJobState(const QString &text) override
    {
        // "... about 5 min 10 s left)", "... about 40 s left)"
        static const QRegularExpression left(QStringLiteral("about (?:(\\d+) min )?(\\d+) s left"));
        const QRegularExpressionMatch m = left.match(text);
        if (m.hasMatch())
            estimates.push_back({clock.elapsed(), (m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 1000});
    }
    void showResult(const QString &text, bool) override { std::printf("%s\n", qPrintable(text)); }
    void showConnectError() override {}
    void showOriginDone(bool) override {}
    bool confirmCalibration() override { return false; }
    void showCalibrationDone() override {}
    void setSheetsLeft(int count) override { settings.feed.sheetsLeft = count; }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.info=false");
    QCoreApplication app(argc, argv);
    const int sheets = argc > 1 ? std::max(2, atoi(argv[1])) : 10;
    UsbSimRig rig;
    if (!rig.start("MD0,0,4000,3000,3;\nSP2;\nPU400,400;PD3600,400,3600,2600,400,2600,400,400;\n!PG;\n",
                   sheets + 1))
        return 2;
    Host host;
    host.settings.plotFile = rig.plotFile();
    host.settings.feed.sheetsLeft = sheets;
    host.settings.feed.feedDistMm = 300;
    host.settings.feed.ejectDistMm = 400;
    host.settings.usbDevice = QString::fromLatin1(UsbSimRig::kCutter);
    CutterSession session(host);
    host.clock.start();
    runJob(session, 6, JobLink::Usb);
    const qint64 endMs = host.clock.elapsed();

    std::vector<double> errors; // estimate minus truth, s
    for (const Estimate &e : host.estimates)
        errors.push_back((e.leftMs - (endMs - e.atMs)) / 1000.0);
    std::vector<double> magnitudes(errors.size());
    std::transform(errors.begin(), errors.end(), magnitudes.begin(), [](double e) { return std::fabs(e); });
    std::sort(magnitudes.begin(), magnitudes.end());
    std::printf("%d sheets in %.1f s, %zu estimates\n", sheets, endMs / 1000.0, errors.size());
    if (!magnitudes.empty())
        std::printf("estimate error: median %.1f s, worst %.1f s (signed: first %+.1f s, last %+.1f s)\n",
                    magnitudes[magnitudes.size() / 2], magnitudes.back(), errors.front(), errors.back());
    return 0;
}
