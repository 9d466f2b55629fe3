// Camera frames drawn in code for the glyphscan tests: 640 x 480, grey or
// RGB, with discs, rings, blocks, diamonds and QR codes on a plain ground.
#pragma once

#include "glyphscan.h"

#include <qrencode.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace testimages {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Frame {
    std::vector<uint8_t> grey;
    std::vector<uint8_t> rgb; // filled by toRgb()
    std::string text = std::string(1024, '\0');

    explicit Frame(uint8_t ground = 255) : grey(kWidth * kHeight, ground) {}
    void set(int x, int y, uint8_t v)
    {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            grey[size_t(y * kWidth + x)] = v;
    }
    // Same picture as R = G = B, whose grey is the original value again.
    void toRgb()
    {
        for (uint8_t v : grey)
            rgb.insert(rgb.end(), 3, v);
    }
    // A request for this frame (dataType 1 once toRgb() ran, else 0).
    ScanRequest request(int shape = 3, int polarity = 0, float size = 5.0f)
    {
        const std::vector<uint8_t> &pixels = rgb.empty() ? grey : rgb;
        return {pixels.data(), kWidth, kHeight, int32_t(pixels.size()), int32_t(!rgb.empty()),
                shape, polarity, size, 0, 0, 0, 0, 0, &text[0]};
    }
};

// A ring of the given outer diameter and thickness (a disc when it is as
// thick as the diameter), stretched by `aspect` horizontally, with an open
// sector of `gap` degrees centred on its right-hand side.
inline void ring(Frame &f, double cx, double cy, double diameter, double thickness, uint8_t v,
                 double gap = 0, double aspect = 1)
{
    const double outer = diameter / 2, inner = outer - thickness;
    for (int y = int(cy - outer) - 1; y <= int(cy + outer) + 1; ++y)
        for (int x = int(cx - outer * aspect) - 1; x <= int(cx + outer * aspect) + 1; ++x) {
            const double d = std::hypot((x + 0.5 - cx) / aspect, y + 0.5 - cy);
            const double angle = std::abs(std::atan2(y + 0.5 - cy, x + 0.5 - cx)) * 180 / M_PI;
            if (d <= outer && d >= inner && angle >= gap / 2)
                f.set(x, y, v);
        }
}

inline void disc(Frame &f, double cx, double cy, double diameter, uint8_t v)
{
    ring(f, cx, cy, diameter, diameter, v);
}

inline void block(Frame &f, int x, int y, int w, int h, uint8_t v)
{
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            f.set(i, j, v);
}

inline void diamond(Frame &f, int cx, int cy, int halfDiagonal, uint8_t v)
{
    for (int y = cy - halfDiagonal; y <= cy + halfDiagonal; ++y)
        for (int x = cx - halfDiagonal; x <= cx + halfDiagonal; ++x)
            if (std::abs(x - cx) + std::abs(y - cy) <= halfDiagonal)
                f.set(x, y, v);
}

// A QR code of the given bytes (8-bit mode, libqrencode), modules of `module`
// pixels, centred at (cx, cy) with a four-module quiet zone of colour `light`.
inline bool qrCode(Frame &f, const std::string &data, int cx, int cy, int module, uint8_t dark,
                   uint8_t light)
{
    QRcode *code = QRcode_encodeData(int(data.size()),
                                     reinterpret_cast<const unsigned char *>(data.data()), 0,
                                     QR_ECLEVEL_M);
    if (!code)
        return false;
    const int n = code->width, x0 = cx - (n + 8) * module / 2, y0 = cy - (n + 8) * module / 2;
    block(f, x0, y0, (n + 8) * module, (n + 8) * module, light);
    for (int i = 0; i < n * n; ++i)
        if (code->data[i] & 1)
            block(f, x0 + (i % n + 4) * module, y0 + (i / n + 4) * module, module, module, dark);
    QRcode_free(code);
    return true;
}

} // namespace testimages
