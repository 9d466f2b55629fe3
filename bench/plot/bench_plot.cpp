// Plot processing on generated files (see generatedplot.h): nested closed
// polygons, every fifth in the crease section. 1,000 polygons make about
// 0.2 MB, 10,000 about 2 MB.
#include "../generatedplot.h"
#include "sheet.h"
#include "workmodes.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace {

using generatedplot::plotText;

const QString &cachedText(int count)
{
    static std::map<int, QString> texts;
    auto it = texts.find(count);
    if (it == texts.end())
        it = texts.emplace(count, plotText(count)).first;
    return it->second;
}

PlotPathList cutPaths(int count)
{
    const PltSolve solve;
    return solve.parsePaths(solve.splitSections(cachedText(count)).at(2));
}

void setBytes(benchmark::State &state, int count)
{
    state.counters["bytes"] = double(cachedText(count).size());
}

void BM_Parse(benchmark::State &state)
{
    const int n = int(state.range(0));
    const PltSolve solve;
    const QString &text = cachedText(n);
    for (auto _ : state) {
        const QStringList sections = solve.splitSections(text);
        benchmark::DoNotOptimize(solve.parsePaths(sections.at(1)));
        benchmark::DoNotOptimize(solve.parsePaths(sections.at(2)));
    }
    setBytes(state, n);
}

void BM_OrderInnerFirst(benchmark::State &state)
{
    const PltSolve solve;
    const QStringList sections = solve.splitSections(cachedText(int(state.range(0))));
    const PlotPathList crease = solve.parsePaths(sections.at(1));
    const PlotPathList cut = solve.parsePaths(sections.at(2));
    for (auto _ : state) {
        benchmark::DoNotOptimize(solve.orderInnerFirst(crease));
        benchmark::DoNotOptimize(solve.orderInnerFirst(cut));
    }
}

void BM_CompensateKnife(benchmark::State &state)
{
    const PltSolve solve;
    const PlotPathList cut = cutPaths(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(solve.compensateKnife(cut, 0.3 * 40, 0.5 * 40));
}

void BM_SerializeCut(benchmark::State &state)
{
    const PltSolve solve;
    const PlotPathList compensated = solve.compensateKnife(cutPaths(int(state.range(0))), 12, 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(solve.serializeCut(compensated));
}

// The whole sheet preparation of a mark mode from the file: read, split,
// parse, order, compensate (knife 0.3 mm, close 0.5 mm), serialise.
void BM_PrepareSheet(benchmark::State &state)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.plt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the plot file");
        return;
    }
    file.write(cachedText(n).toLatin1());
    file.close();
    SheetOptions options = sheetOptionsFor(2, SheetLink::Usb);
    options.knifeOffset = 0.3 * 40;
    options.closeOffset = 0.5 * 40;
    for (auto _ : state) {
        const PreparedSheet sheet = prepareSheetFile(path, options);
        if (!sheet.ok)
            state.SkipWithError("no sheet");
        benchmark::DoNotOptimize(sheet.jobText);
    }
    setBytes(state, n);
}

} // namespace

BENCHMARK(BM_Parse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderInnerFirst)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompensateKnife)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerializeCut)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareSheet)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareSheet)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
