#include "qrscan.h"

#include <zbar.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <exception>
#include <thread>

namespace glyphscan {
namespace {

// zbar.h declares its C interface inside namespace zbar when read as C++.
using namespace zbar;

constexpr int kFirstLevel = 20;
constexpr int kLevelStep = 20;

struct ScannerDeleter {
    void operator()(zbar_image_scanner_t *s) const { zbar_image_scanner_destroy(s); }
};
using Scanner = std::unique_ptr<zbar_image_scanner_t, ScannerDeleter>;

Scanner newScanner()
{
    Scanner s(zbar_image_scanner_create());
    if (s)
        zbar_image_scanner_set_config(s.get(), ZBAR_NONE, ZBAR_CFG_ENABLE, 1);
    return s;
}

// Pixels brighter than t become white; the others keep their grey.
void buildClip(const uint8_t *half, int t, uint8_t *clip)
{
    for (int i = 0; i < kHalfPixels; ++i)
        clip[i] = half[i] > t ? 255 : half[i];
}

// The symbol texts of one scan, written as they would be into the caller's
// buffer; bytes[0, touched) are the ones those writes reached.
struct ScanText {
    char bytes[kTextCapacity];
    size_t touched = 0;

    void write(const char *data, size_t length)
    {
        copySymbolText(data, length, bytes);
        touched = std::max(touched, std::strlen(bytes) + 1);
    }
    // Leaves text exactly as the same writes made directly into it would.
    void copyTo(char *text) const { std::memcpy(text, bytes, touched); }
};

void copySymbols(const zbar_image_t *image, ScanText &text)
{
    const zbar_symbol_set_t *set = zbar_image_get_symbols(image);
    zbar_symbol_set_ref(set, 1);
    for (const zbar_symbol_t *sym = zbar_symbol_set_first_symbol(set); sym;
         sym = zbar_symbol_next(sym)) {
        zbar_symbol_ref(sym, 1);
        (void)zbar_get_symbol_name(zbar_symbol_get_type(sym));
        text.write(zbar_symbol_get_data(sym), zbar_symbol_get_data_length(sym));
        zbar_symbol_ref(sym, -1);
    }
    zbar_symbol_set_ref(set, -1);
}

// One zbar pass over a clip image; keeps the texts when it finds a symbol.
bool scanClip(zbar_image_scanner_t *scanner, const uint8_t *clip, ScanText &text)
{
    zbar_image_t *image = zbar_image_create();
    if (!image)
        return false;
    zbar_image_set_size(image, kHalfWidth, kHalfHeight);
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    // No clean-up handler: the clip buffer stays ours.
    zbar_image_set_data(image, clip, kHalfPixels, nullptr);
    const bool found = zbar_scan_image(scanner, image) > 0;
    if (found)
        copySymbols(image, text);
    zbar_image_set_data(image, nullptr, 0, nullptr);
    zbar_image_ref(image, -1);
    return found;
}

// pixelsUpTo[v] = number of half-image pixels with a value <= v.
void cumulativeHistogram(const uint8_t *half, int *pixelsUpTo)
{
    int hist[256] = {};
    for (int i = 0; i < kHalfPixels; ++i)
        ++hist[half[i]];
    int sum = 0;
    for (int v = 0; v < 256; ++v)
        pixelsUpTo[v] = sum += hist[v];
}

// The clip levels that need a zbar scan, lowest first.
struct LevelPlan {
    int levels[kClipLevels];
    int count = 0;
};

LevelPlan planLevels(const uint8_t *half, bool skipKnownLevels)
{
    int pixelsUpTo[256];
    cumulativeHistogram(half, pixelsUpTo);
    LevelPlan plan;
    int known = -1; // last level whose clip image had its result settled
    for (int i = 0; i < kClipLevels; ++i) {
        const int t = kFirstLevel + i * kLevelStep;
        const bool sameAsKnown = known >= 0 && pixelsUpTo[t] == pixelsUpTo[known];
        const bool plainWhite = pixelsUpTo[t] == 0;
        known = t;
        if (skipKnownLevels && (sameAsKnown || plainWhite))
            continue;
        plan.levels[plan.count++] = t;
    }
    return plan;
}

// A level ends the search when zbar reads it, or when no scanner can be made
// for it (the search gives up without a result).
enum class LevelEnd { Read, NoScanner };

// The levels of one call, handed out lowest first to the workers. A worker
// stops at its first ending level; a level above the lowest ending level
// seen so far is not started, since its result cannot be the one returned.
struct LevelQueue {
    const uint8_t *half;
    LevelPlan plan;
    std::atomic<int> next{0};
    std::atomic<int> lowestEnd{kClipLevels}; // index into plan.levels

    void lowerEnd(int index)
    {
        int seen = lowestEnd.load();
        while (index < seen && !lowestEnd.compare_exchange_weak(seen, index)) {
        }
    }
};

// One worker's clip buffer and the level it ended at, if any.
struct Worker {
    uint8_t *clip = nullptr;
    int endIndex = kClipLevels;
    LevelEnd end = LevelEnd::Read;
    ScanText text;

    void run(LevelQueue &queue)
    {
        for (;;) {
            const int i = queue.next.fetch_add(1);
            if (i >= queue.plan.count || i > queue.lowestEnd.load())
                return;
            const int t = queue.plan.levels[i];
            buildClip(queue.half, t, clip);
            Scanner scanner = newScanner();
            if (!scanner)
                end = LevelEnd::NoScanner;
            else if (!scanClip(scanner.get(), clip, text))
                continue;
            endIndex = i;
            queue.lowerEnd(i);
            return;
        }
    }
};

// How many threads scan the planned levels: one per level at most.
int workerCount(const LevelPlan &plan, QrOptions options)
{
    if (!options.parallel)
        return 1;
    int wanted = options.threads;
    if (wanted <= 0)
        wanted = int(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(std::min(wanted, plan.count), 1, kClipLevels);
}

// Runs the workers, the caller's thread being the first. A helper thread that
// cannot be started leaves its levels to the others (in the end the caller's
// worker takes every level by itself).
void runWorkers(LevelQueue &queue, Worker *workers, int count)
{
    std::thread helpers[kClipLevels];
    for (int w = 1; w < count; ++w) {
        try {
            helpers[w] = std::thread([&queue, worker = &workers[w]] { worker->run(queue); });
        } catch (const std::exception &) {
        }
    }
    workers[0].run(queue);
    for (std::thread &helper : helpers) {
        if (helper.joinable())
            helper.join();
    }
}

int scanLevels(const uint8_t *half, char *text, QrOptions options)
{
    LevelQueue queue;
    queue.half = half;
    queue.plan = planLevels(half, options.skipKnownLevels);
    const int count = workerCount(queue.plan, options);
    std::unique_ptr<uint8_t[]> clips(new (std::nothrow) uint8_t[size_t(count) * kHalfPixels]);
    if (!clips)
        return 0;
    Worker workers[kClipLevels];
    for (int w = 0; w < count; ++w)
        workers[w].clip = clips.get() + w * kHalfPixels;
    runWorkers(queue, workers, count);

    const Worker *first = std::min_element(
        workers, workers + count,
        [](const Worker &a, const Worker &b) { return a.endIndex < b.endIndex; });
    if (first->endIndex >= queue.plan.count || first->end != LevelEnd::Read)
        return 0;
    first->text.copyTo(text);
    return queue.plan.levels[first->endIndex];
}

} // namespace

void copySymbolText(const char *data, size_t length, char *text)
{
    size_t n = data ? strnlen(data, length) : 0;
    if (n > kTextCapacity - 1)
        n = kTextCapacity - 1;
    if (n)
        std::memcpy(text, data, n);
    text[n] = '\0';
}

int decodeHalfImage(const uint8_t *half, char *text, QrOptions options)
{
    return scanLevels(half, text, options);
}

int decodeRequest(ScanRequest *req, QrOptions options)
{
    if (req && !req->text) {
        std::printf("null text buffer\n");
        return -1;
    }
    std::unique_ptr<uint8_t[]> half(new (std::nothrow) uint8_t[kHalfPixels]);
    if (!half)
        return 0;
    if (prepareHalfImage(req, half.get()) != Prep::Ready)
        return -1;
    return scanLevels(half.get(), req->text, options);
}

} // namespace glyphscan
