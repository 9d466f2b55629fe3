// Camera frames drawn in code for the glyphscan tests: 640 x 480, grey or
// RGB, with discs, rings, blocks, diamonds and QR codes on a plain ground.
// The drawing calls chain: Frame().disc(320, 240, 100, 0).rgb().
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
    std::vector<uint8_t> rgbData; // filled by rgb()
    std::string text = std::string(1024, '\0');

    explicit Frame(uint8_t ground = 255) : grey(kWidth * kHeight, ground) {}

    // A request for this frame (dataType 1 once rgb() ran, else 0).
    ScanRequest request(int shape = 3, int polarity = 0, float size = 5.0f)
    {
        const std::vector<uint8_t> &pixels = rgbData.empty() ? grey : rgbData;
        return {pixels.data(), kWidth, kHeight, int32_t(pixels.size()), int32_t(!rgbData.empty()),
                shape, polarity, size, 0, 0, 0, 0, 0, &text[0]};
    }
    // The same picture as R = G = B, whose grey is the original value again;
    // with blueInk B is 255, so black becomes pure blue (grey 29).
    Frame &rgb(bool blueInk = false)
    {
        for (uint8_t v : grey)
            rgbData.insert(rgbData.end(), {v, v, blueInk ? uint8_t(255) : v});
        return *this;
    }
    void set(int x, int y, uint8_t v)
    {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            grey[size_t(y * kWidth + x)] = v;
    }
    // A ring of the given outer diameter and thickness (a disc when it is as
    // thick as the diameter), stretched by `aspect` horizontally, with an
    // open sector of `gap` degrees centred on its right-hand side.
    Frame &ring(double cx, double cy, double diameter, double thickness, uint8_t v, double gap = 0,
                double aspect = 1)
    {
        const double outer = diameter / 2, inner = outer - thickness;
        for (int y = int(cy - outer) - 1; y <= int(cy + outer) + 1; ++y)
            for (int x = int(cx - outer * aspect) - 1; x <= int(cx + outer * aspect) + 1; ++x) {
                const double d = std::hypot((x + 0.5 - cx) / aspect, y + 0.5 - cy);
                const double angle = std::abs(std::atan2(y + 0.5 - cy, x + 0.5 - cx)) * 180 / M_PI;
                if (d <= outer && d >= inner && angle >= gap / 2)
                    set(x, y, v);
            }
        return *this;
    }
    Frame &disc(double cx, double cy, double diameter, uint8_t v)
    {
        return ring(cx, cy, diameter, diameter, v);
    }
    Frame &block(int x, int y, int w, int h, uint8_t v)
    {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i)
                set(i, j, v);
        return *this;
    }
    Frame &diamond(int cx, int cy, int halfDiagonal, uint8_t v)
    {
        for (int y = cy - halfDiagonal; y <= cy + halfDiagonal; ++y)
            for (int x = cx - halfDiagonal; x <= cx + halfDiagonal; ++x)
                if (std::abs(x - cx) + std::abs(y - cy) <= halfDiagonal)
                    set(x, y, v);
        return *this;
    }
    // A QR code of the given bytes (8-bit mode, libqrencode), modules of
    // `module` pixels, centred at (cx, cy), with a four-module quiet zone of
    // colour `light`.
    Frame &qr(const std::string &data, int cx, int cy, int module, uint8_t dark, uint8_t light)
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(data.data());
        QRcode *code = QRcode_encodeData(int(data.size()), bytes, 0, QR_ECLEVEL_M);
        const int n = code->width, side = (n + 8) * module;
        block(cx - side / 2, cy - side / 2, side, side, light);
        for (int i = 0; i < n * n; ++i)
            if (code->data[i] & 1)
                block(cx - side / 2 + (i % n + 4) * module, cy - side / 2 + (i / n + 4) * module,
                      module, module, dark);
        QRcode_free(code);
        return *this;
    }
};

} // namespace testimages
