// Round trip of one command ("CMD:10;" answered "FREE;") over each link to
// the simulated cutter running in the same thread. The USB case needs the
// mocked udev tree: run this program under umockdev-wrapper.
#include "mockusb.h" // first: before any Qt header

#include "rj45socket.h"
#include "simserver.h"
#include "usboperate.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

void roundTrip(benchmark::State &state, CutterLink &link)
{
    for (auto _ : state) {
        link.sendCmd(QStringLiteral("CMD:10;"));
        if (link.readReply() != QLatin1String("FREE;")) {
            state.SkipWithError("unexpected reply");
            break;
        }
    }
}

void BM_RoundTripTcp(benchmark::State &state)
{
    SimConfig config;
    config.busyMs = 0;
    CutterSimServer sim(config);
    if (!sim.listen(QHostAddress::LocalHost, 0)) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    RJ45Socket link(nullptr, sim.serverPort());
    if (!link.connectHost(QStringLiteral("127.0.0.1"))) {
        state.SkipWithError("cannot connect");
        return;
    }
    roundTrip(state, link);
}

void BM_RoundTripUsb(benchmark::State &state)
{
    MockUsb bed;
    if (!MockUsb::inMockEnvironment()) {
        state.SkipWithError("run under umockdev-wrapper");
        return;
    }
    SimConfig config;
    config.busyMs = 0;
    CutterSimServer sim(config);
    bed.plug(QStringLiteral("1-2"), QStringLiteral("lp0"), 0, sim.openUsbNode());
    UsbOperate link;
    link.setDevice(QStringLiteral("1-2:1.0"));
    roundTrip(state, link);
}

} // namespace

BENCHMARK(BM_RoundTripTcp)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RoundTripUsb)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false"); // the links log every exchange
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
