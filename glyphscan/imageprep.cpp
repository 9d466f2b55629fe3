#include "imageprep.h"

#include <cstdio>

namespace glyphscan {
namespace {

bool checkRecord(const ScanRequest *req)
{
    if (!req) {
        std::printf("null request\n");
        return false;
    }
    if (req->width != kFullWidth || req->height != kFullHeight) {
        // The sampling walks a fixed 640 x 480 layout; any other size would
        // read outside the caller's buffer.
        std::printf("illegal image size\n");
        return false;
    }
    if (!req->data) {
        std::printf("null image data\n");
        return false;
    }
    return true;
}

// Only every second pixel of every second row reaches the half image, so the
// grey conversion is done for those pixels alone.
void sampleGrey(const uint8_t *src, uint8_t *half, uint8_t flip)
{
    for (int y = 0; y < kHalfHeight; ++y) {
        const uint8_t *row = src + 2 * y * kFullWidth;
        uint8_t *out = half + y * kHalfWidth;
        for (int x = 0; x < kHalfWidth; ++x)
            out[x] = row[2 * x] ^ flip;
    }
}

void sampleRgb(const uint8_t *src, uint8_t *half, uint8_t flip)
{
    for (int y = 0; y < kHalfHeight; ++y) {
        const uint8_t *row = src + 2 * y * kFullWidth * 3;
        uint8_t *out = half + y * kHalfWidth;
        for (int x = 0; x < kHalfWidth; ++x) {
            const uint8_t *p = row + 6 * x;
            const unsigned grey = (306u * p[0] + 601u * p[1] + 117u * p[2]) >> 10;
            out[x] = static_cast<uint8_t>(grey) ^ flip;
        }
    }
}

} // namespace

Prep prepareHalfImage(const ScanRequest *req, uint8_t *half)
{
    if (!checkRecord(req))
        return Prep::Refused;
    // 255 - v == v ^ 0xFF for a byte.
    const uint8_t flip = req->polarity == 1 ? 0xFF : 0x00;
    switch (req->dataType) {
    case 0:
        sampleGrey(req->data, half, flip);
        return Prep::Ready;
    case 1:
        sampleRgb(req->data, half, flip);
        return Prep::Ready;
    default:
        std::printf("unsupport data type\n");
        return Prep::Unsupported;
    }
}

} // namespace glyphscan
