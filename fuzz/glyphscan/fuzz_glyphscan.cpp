// Random request records, frames and parameters through both exports.
//
// Input layout: a 16-byte header, then either raw pixels tiled over the
// frame or drawing commands (discs, rings, blocks on a plain ground), so that
// the search meets both noise and mark-like regions.
//   0: size choice   1: data type   2: mark shape   3: polarity
//   4..7: markSize (float bits)     8: flags        9: ground grey
//   10..11, 12..13: width, height when the size choice asks for odd sizes
#include "glyphscan.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kW = 640;
constexpr int kH = 480;

struct Header {
    int width = kW;
    int height = kH;
    int dataType = 0;
    int shape = 3;
    int polarity = 0;
    float size = 5.0f;
    uint8_t flags = 0;
    uint8_t ground = 255;
};

Header readHeader(const uint8_t *d)
{
    Header h;
    if (d[0] >= 240) { // now and then a size the library must refuse
        h.width = int16_t(d[10] | d[11] << 8);
        h.height = int16_t(d[12] | d[13] << 8);
    }
    h.dataType = d[1] < 200 ? d[1] % 2 : int8_t(d[1]);
    h.shape = d[2] < 240 ? 1 + d[2] % 3 : int8_t(d[2]);
    h.polarity = d[3] % 3;
    std::memcpy(&h.size, d + 4, 4);
    h.flags = d[8];
    h.ground = d[9];
    return h;
}

void drawCommands(std::vector<uint8_t> &grey, const uint8_t *d, size_t n)
{
    for (size_t i = 0; i + 7 <= n; i += 7) {
        const int kind = d[i] % 3;
        const int cx = (d[i + 1] | d[i + 2] << 8) % (kW + 100) - 50;
        const int cy = (d[i + 3] | d[i + 4] << 8) % (kH + 100) - 50;
        const int size = d[i + 5];
        const uint8_t ink = d[i + 6];
        for (int y = std::max(0, cy - size); y < std::min(kH, cy + size); ++y)
            for (int x = std::max(0, cx - size); x < std::min(kW, cx + size); ++x) {
                const double r = std::hypot(x - cx, y - cy);
                const bool in = kind == 2 || (r <= size && (kind == 0 || r >= size * 0.7));
                if (in)
                    grey[size_t(y) * kW + x] = ink;
            }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 16)
        return 0;
    const Header h = readHeader(data);
    data += 16;
    size -= 16;

    std::vector<uint8_t> grey(size_t(kW) * kH, h.ground);
    if (h.flags & 1)
        drawCommands(grey, data, size);
    else if (size)
        for (size_t i = 0; i < grey.size(); ++i)
            grey[i] = data[i % size];

    // The buffer holds exactly what the record claims, so any read past it
    // is caught; a refused size gets a token buffer.
    const bool valid = h.width == kW && h.height == kH;
    const int bpp = h.dataType == 1 ? 3 : 1;
    std::vector<uint8_t> pixels(valid ? grey.size() * bpp : 16, 0);
    if (valid)
        for (size_t i = 0; i < grey.size(); ++i)
            for (int c = 0; c < bpp; ++c)
                pixels[i * bpp + c] = uint8_t(grey[i] + c * (h.flags >> 5));

    std::vector<char> text(1024, 0);
    ScanRequest r{};
    r.data = (h.flags & 2) ? nullptr : pixels.data();
    r.width = h.width;
    r.height = h.height;
    r.dataSize = int32_t(pixels.size());
    r.dataType = h.dataType;
    r.markShape = h.shape;
    r.polarity = h.polarity;
    r.markSize = h.size;
    r.text = (h.flags & 4) ? nullptr : text.data();

    mr_interface(&r);
    // Decoding costs up to nine zbar scans; do it for a share of the inputs.
    if (h.flags & 8)
        qr_decode(&r);
    if (r.text && std::memchr(r.text, 0, 1024) == nullptr)
        __builtin_trap(); // the text must stay terminated inside its buffer
    return 0;
}
