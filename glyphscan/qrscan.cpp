#include "qrscan.h"

#include <zbar.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

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

void copyLastSymbol(const zbar_image_t *image, char *text)
{
    const zbar_symbol_set_t *set = zbar_image_get_symbols(image);
    zbar_symbol_set_ref(set, 1);
    for (const zbar_symbol_t *sym = zbar_symbol_set_first_symbol(set); sym;
         sym = zbar_symbol_next(sym)) {
        zbar_symbol_ref(sym, 1);
        (void)zbar_get_symbol_name(zbar_symbol_get_type(sym));
        copySymbolText(zbar_symbol_get_data(sym), zbar_symbol_get_data_length(sym), text);
        zbar_symbol_ref(sym, -1);
    }
    zbar_symbol_set_ref(set, -1);
}

// One zbar pass over a clip image; copies the text when it finds a symbol.
bool scanClip(zbar_image_scanner_t *scanner, const uint8_t *clip, char *text)
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
        copyLastSymbol(image, text);
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

int scanLevels(const uint8_t *half, uint8_t *clip, char *text, QrOptions options)
{
    int pixelsUpTo[256];
    cumulativeHistogram(half, pixelsUpTo);
    int known = -1; // last level whose clip image had its result settled
    for (int i = 0; i < kClipLevels; ++i) {
        const int t = kFirstLevel + i * kLevelStep;
        if (options.skipKnownLevels) {
            const bool sameAsKnown = known >= 0 && pixelsUpTo[t] == pixelsUpTo[known];
            const bool plainWhite = pixelsUpTo[t] == 0;
            if (sameAsKnown || plainWhite) {
                known = t;
                continue;
            }
        }
        buildClip(half, t, clip);
        Scanner scanner = newScanner();
        if (!scanner)
            return 0;
        known = t;
        if (scanClip(scanner.get(), clip, text))
            return t;
    }
    return 0;
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
    std::unique_ptr<uint8_t[]> clip(new (std::nothrow) uint8_t[kHalfPixels]);
    if (!clip)
        return 0;
    return scanLevels(half, clip.get(), text, options);
}

int decodeRequest(ScanRequest *req, QrOptions options)
{
    if (req && !req->text) {
        std::printf("null text buffer\n");
        return -1;
    }
    // Half image and clip image in one block.
    std::unique_ptr<uint8_t[]> buffers(new (std::nothrow) uint8_t[2 * kHalfPixels]);
    uint8_t *half = buffers.get();
    if (!half)
        return 0;
    if (prepareHalfImage(req, half) != Prep::Ready)
        return -1;
    return scanLevels(half, half + kHalfPixels, req->text, options);
}

} // namespace glyphscan
