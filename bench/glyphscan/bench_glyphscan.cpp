// Per-frame cost of the two exports on 640 x 480 RGB frames, and of one
// complete recognition pass of the camera view when nothing is found.
// qr_decode scans its clip levels on two threads, so the figures to read are
// the real (wall) times; the CPU column is that of the whole process, all
// threads together. The ...Sequential variants scan the levels on the
// calling thread alone, for comparison on the same machine load.
#include "glyphscan.h"
#include "imageprep.h"
#include "qrscan.h"

#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kW = 640;
constexpr int kH = 480;

struct Frame {
    std::vector<uint8_t> rgb = std::vector<uint8_t>(kW * kH * 3, 255);
    char text[1024] = {};

    void set(int x, int y, uint8_t v)
    {
        if (x >= 0 && x < kW && y >= 0 && y < kH)
            std::memset(&rgb[3 * (y * kW + x)], v, 3);
    }
    ScanRequest request(int polarity)
    {
        std::memset(text, 0, sizeof text);
        return ScanRequest{rgb.data(), kW, kH, kW * kH * 3, 1, 3, polarity, 5.0f,
                           0, 0, 0, 0, 0, text};
    }
};

// Mild sensor noise over a light sheet: many small regions, no mark, no code.
Frame noisySheet()
{
    Frame f;
    std::mt19937 rng(5);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            f.set(x, y, uint8_t(140 + rng() % 116));
    return f;
}

// A light sheet under uneven light with a dark strip of the bed along its
// left edge and one printed block: no code, several distinct clip levels.
Frame plainSheet()
{
    Frame f;
    std::mt19937 rng(9);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int light = x < 60 ? 30 + x / 2 : 175 + (x + y) * 70 / (kW + kH);
            f.set(x, y, uint8_t(light + int(rng() % 13) - 6));
        }
    for (int y = 100; y < 160; ++y)
        for (int x = 400; x < 520; ++x)
            f.set(x, y, 20);
    return f;
}

// Every grey from black to white across the frame: all nine clip images
// differ, so every level costs a zbar scan.
Frame fullRangeSheet()
{
    Frame f;
    std::mt19937 rng(11);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            f.set(x, y, uint8_t(std::clamp(x * 255 / (kW - 1) + int(rng() % 9) - 4, 0, 255)));
    return f;
}

Frame markFrame()
{
    Frame f;
    for (int y = 190; y < 290; ++y)
        for (int x = 270; x < 370; ++x)
            if (std::hypot(x + 0.5 - 320, y + 0.5 - 240) <= 50)
                f.set(x, y, 0);
    return f;
}

Frame codeFrame()
{
    Frame f;
    QRcode *code = QRcode_encodeString("JOB-0042/sheet.plt", 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    const int m = 6;
    const int x0 = 320 - code->width * m / 2;
    const int y0 = 240 - code->width * m / 2;
    for (int j = 0; j < code->width; ++j)
        for (int i = 0; i < code->width; ++i)
            if (code->data[j * code->width + i] & 1)
                for (int dy = 0; dy < m; ++dy)
                    for (int dx = 0; dx < m; ++dx)
                        f.set(x0 + i * m + dx, y0 + j * m + dy, 0);
    QRcode_free(code);
    return f;
}

void searchMarks(benchmark::State &state, Frame f)
{
    for (auto _ : state) {
        ScanRequest r = f.request(0);
        mr_interface(&r);
        benchmark::DoNotOptimize(r.outX);
    }
}

void BM_MarkFound(benchmark::State &state) { searchMarks(state, markFrame()); }
void BM_MarkNoisySheet(benchmark::State &state) { searchMarks(state, noisySheet()); }

void BM_QrFirstLevel(benchmark::State &state)
{
    Frame f = codeFrame();
    for (auto _ : state) {
        ScanRequest r = f.request(0);
        qr_decode(&r);
        if (!r.text[0])
            state.SkipWithError("code not read");
    }
}

// qr_decode on a frame without a code; `sequential` scans the levels on the
// calling thread alone.
void decodeNoCode(benchmark::State &state, Frame f, int polarity, bool sequential = false)
{
    for (auto _ : state) {
        ScanRequest r = f.request(polarity);
        if (sequential)
            benchmark::DoNotOptimize(glyphscan::decodeRequest(&r, {true, false}));
        else
            qr_decode(&r);
        benchmark::DoNotOptimize(r.text[0]);
    }
}

void BM_QrNoCodePlainSheet(benchmark::State &state) { decodeNoCode(state, plainSheet(), 0); }

// The same frame scanned at all nine levels, without skipping the levels
// whose result is known: what the shortcut saves.
void BM_QrNoCodePlainSheetAllLevels(benchmark::State &state)
{
    Frame f = plainSheet();
    ScanRequest r = f.request(0);
    std::vector<uint8_t> half(glyphscan::kHalfPixels);
    for (auto _ : state) {
        glyphscan::prepareHalfImage(&r, half.data());
        benchmark::DoNotOptimize(glyphscan::decodeHalfImage(half.data(), f.text, {false}));
    }
}

// The light sheet seen with polarity 1, as the camera view tries it after
// polarity 0 found nothing: a dark, noisy ground that every clip level up to
// the paper's grey keeps, so each of those scans walks noise edge by edge.
void BM_QrNoCodeDarkNoisy(benchmark::State &state) { decodeNoCode(state, plainSheet(), 1); }

void BM_QrNoCodeDarkNoisySequential(benchmark::State &state)
{
    decodeNoCode(state, plainSheet(), 1, true);
}

void BM_QrNoCodeNineLevels(benchmark::State &state) { decodeNoCode(state, fullRangeSheet(), 0); }

void BM_QrNoCodeNineLevelsSequential(benchmark::State &state)
{
    decodeNoCode(state, fullRangeSheet(), 0, true);
}

// One recognition pass of the camera view when nothing is found: mark search
// with polarity 0 and 1, QR decoding with polarity 0 and 1.
void cameraPass(benchmark::State &state, Frame f, glyphscan::QrOptions options = {})
{
    for (auto _ : state) {
        for (int polarity = 0; polarity < 2; ++polarity) {
            ScanRequest r = f.request(polarity);
            mr_interface(&r);
        }
        for (int polarity = 0; polarity < 2; ++polarity) {
            ScanRequest r = f.request(polarity);
            glyphscan::decodeRequest(&r, options);
        }
    }
}

void BM_CameraPassPlainSheet(benchmark::State &state)
{
    cameraPass(state, plainSheet());
}

void BM_CameraPassNineLevels(benchmark::State &state)
{
    cameraPass(state, fullRangeSheet());
}

void BM_CameraPassNineLevelsSequential(benchmark::State &state)
{
    cameraPass(state, fullRangeSheet(), {true, false});
}

} // namespace

// Wall time decides the iteration count; CPU time is summed over all threads.
#define GLYPHSCAN_BENCH(name, unit)                                                            \
    BENCHMARK(name)                                                                            \
        ->Unit(benchmark::unit)                                                                \
        ->UseRealTime()                                                                        \
        ->MeasureProcessCPUTime()                                                              \
        ->Repetitions(9)                                                                       \
        ->ReportAggregatesOnly(true)

GLYPHSCAN_BENCH(BM_MarkFound, kMicrosecond);
GLYPHSCAN_BENCH(BM_MarkNoisySheet, kMicrosecond);
GLYPHSCAN_BENCH(BM_QrFirstLevel, kMillisecond);
GLYPHSCAN_BENCH(BM_QrNoCodePlainSheet, kMillisecond);
GLYPHSCAN_BENCH(BM_QrNoCodeNineLevels, kMillisecond);
GLYPHSCAN_BENCH(BM_QrNoCodeNineLevelsSequential, kMillisecond);
GLYPHSCAN_BENCH(BM_QrNoCodePlainSheetAllLevels, kMillisecond);
GLYPHSCAN_BENCH(BM_QrNoCodeDarkNoisy, kMillisecond);
GLYPHSCAN_BENCH(BM_QrNoCodeDarkNoisySequential, kMillisecond);
GLYPHSCAN_BENCH(BM_CameraPassPlainSheet, kMillisecond);
GLYPHSCAN_BENCH(BM_CameraPassNineLevels, kMillisecond);
GLYPHSCAN_BENCH(BM_CameraPassNineLevelsSequential, kMillisecond);

BENCHMARK_MAIN();
