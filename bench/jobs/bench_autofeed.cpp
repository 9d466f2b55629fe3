// Duration of a three-sheet run of each auto-feed mode with the program's
// own timings (500 ms poll pause, 500 ms after a move, 1000 ms after
// "CMD:5;", 18 s between feeds), against the simulated cutter reached over
// the real USB code. cutter-sim --usb starts this program under the umockdev
// preload with its testbed, so the cutter is found as the window would find
// it; the QR modes read the code "gift-box" and cut docs/gift-box.plt.
#include "cutterjobs.h"
#include "rj45socket.h"
#include "usboperate.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

class BenchHost : public JobHost
{
public:
    JobSettings settings;
    JobSettings jobSettings() const override { return settings; }
    bool jobRunning() const override { return true; }
    void showJobState(const QString &) override {}
    void showResult(const QString &, bool) override {}
    void showConnectError() override {}
    void showOriginDone(bool) override {}
    bool confirmCalibration() override { return false; }
    void showCalibrationDone() override {}
    void setSheetsLeft(int count) override { settings.feed.sheetsLeft = count; }
    bool askForMedia() override { return false; } // an empty container ends the run
    bool waitForTrigger() override { return false; } // no matrix job here
};

void BM_ThreeSheets(benchmark::State &state, int mode)
{
    UsbOperate usb;
    const QStringList cutters = usb.listDevices();
    if (cutters.isEmpty()) {
        state.SkipWithError("no cutter: start this through cutter-sim --usb");
        return;
    }
    usb.setDevice(cutters.first());
    RJ45Socket net;
    BenchHost host;
    host.settings.plotFile = QStringLiteral(CUTTERDESK_SOURCE_DIR "/docs/gift-box.plt");
    host.settings.feed.feedDistMm = 300;
    host.settings.feed.ejectDistMm = 400;
    CutterJobs jobs(host, usb, net);
    for (auto _ : state) {
        host.settings.feed.sheetsLeft = 3;
        jobs.run(kWorkModes.at(size_t(mode)), JobLink::Usb);
        if (host.settings.feed.sheetsLeft != 0) {
            state.SkipWithError("the run ended early");
            return;
        }
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_ThreeSheets, 06_blank_single_feed, 6)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 07_blank_feed_while_cutting, 7)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 08_file_single_feed, 8)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 09_file_feed_while_cutting, 9)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 10_qr_single_feed, 10)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 11_qr_feed_while_cutting, 11)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
