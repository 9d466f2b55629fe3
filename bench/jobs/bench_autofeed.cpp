// Duration of a three-sheet run of each auto-feed mode with the program's
// own timings (500 ms poll pause, 500 ms after a move, 1000 ms after
// "CMD:5;", 18 s between feeds), against the simulated cutter reached over
// the real USB code. cutter-sim --usb starts this program under the umockdev
// preload with its testbed, so the cutter is found as the window would find
// it; the QR modes read the code "gift-box" and cut docs/gift-box.plt.
#include "cuttersession.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

namespace {

class BenchHost : public JobHost
{
public:
    JobSettings settings;
    JobSettings jobSettings() const override { return settings; }
    void showJobState(const QString &) override {}
    void showResult(const QString &, bool) override {}
    void showConnectError() override {}
    void showOriginDone(bool) override {}
    bool confirmCalibration() override { return false; }
    void showCalibrationDone() override {}
    void setSheetsLeft(int count) override { settings.feed.sheetsLeft = count; }
    bool askForMedia() override { return false; } // an empty container ends the run
};

void BM_ThreeSheets(benchmark::State &state, int mode)
{
    BenchHost host;
    CutterSession session(host);
    const QStringList cutters = session.usbDevices();
    if (cutters.isEmpty()) {
        state.SkipWithError("no cutter: start this through cutter-sim --usb");
        return;
    }
    host.settings.usbDevice = cutters.first();
    host.settings.plotFile = QStringLiteral(CUTTERDESK_SOURCE_DIR "/docs/gift-box.plt");
    host.settings.feed.feedDistMm = 300;
    host.settings.feed.ejectDistMm = 400;
    for (auto _ : state) {
        host.settings.feed.sheetsLeft = 3;
        QEventLoop over;
        QObject::connect(&session, &CutterSession::finished, &over, &QEventLoop::quit);
        if (session.startJob(kWorkModes.at(size_t(mode)), JobLink::Usb))
            over.exec();
        if (host.settings.feed.sheetsLeft != 0) {
            state.SkipWithError("the run ended early");
            return;
        }
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_ThreeSheets, 07_blank_single_feed, 6)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 08_blank_feed_while_cutting, 7)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 09_file_single_feed, 8)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 10_file_feed_while_cutting, 9)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 11_qr_single_feed, 10)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ThreeSheets, 12_qr_feed_while_cutting, 11)
    ->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
