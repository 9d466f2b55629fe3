// Camera frames drawn in code for the glyphscan tests: 640 x 480, grey or
// RGB, with discs, rings, blocks, diamonds and QR codes on a plain ground.
#pragma once

#include "glyphscan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testimages {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Frame {
    std::vector<uint8_t> grey = std::vector<uint8_t>(kWidth * kHeight, 255);
    std::vector<uint8_t> rgb; // filled by toRgb()
    std::string text = std::string(1024, '\0');

    explicit Frame(uint8_t ground = 255) { grey.assign(grey.size(), ground); }
    uint8_t &at(int x, int y) { return grey[y * kWidth + x]; }
    void set(int x, int y, uint8_t v)
    {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            at(x, y) = v;
    }
    // Same picture as R = G = B, whose grey is the original value again.
    void toRgb();
    // A request for this frame (dataType 1 once toRgb() ran, else 0).
    ScanRequest request(int shape = 3, int polarity = 0, float size = 5.0f);
};

void disc(Frame &f, double cx, double cy, double diameter, uint8_t v);
// gap: an open sector of that many degrees, centred on the right-hand side.
void ring(Frame &f, double cx, double cy, double diameter, double thickness, uint8_t v,
          double gap = 0);
// A disc stretched by `aspect` horizontally.
void ellipse(Frame &f, double cx, double cy, double diameter, double aspect, uint8_t v);
void block(Frame &f, int x, int y, int w, int h, uint8_t v);
void diamond(Frame &f, int cx, int cy, int halfDiagonal, uint8_t v);

// A QR code of the given bytes (8-bit mode), modules of `module` pixels,
// centred at (cx, cy) with a four-module quiet zone of colour `light`.
// Returns false when libqrencode could not make the symbol.
bool qrCode(Frame &f, const std::string &data, int cx, int cy, int module,
            uint8_t dark, uint8_t light);

} // namespace testimages
