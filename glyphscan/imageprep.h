// Request checks and the half-resolution grey image shared by the mark
// search and the QR decoder. Internal to glyphscan (not exported).
#pragma once

#include "glyphscan.h"

#include <cstdint>

namespace glyphscan {

constexpr int kFullWidth = 640;
constexpr int kFullHeight = 480;
constexpr int kHalfWidth = 320;
constexpr int kHalfHeight = 240;
constexpr int kHalfPixels = kHalfWidth * kHalfHeight;

enum class Prep {
    Ready,       // the half image holds the frame
    Refused,     // null record or data, or not 640 x 480: nothing was read
    Unsupported  // dataType is neither 0 (grey) nor 1 (RGB)
};

// Checks the record and, when it is usable, writes the 320 x 240 half image:
// pixel (x, y) = grey of frame pixel (2x, 2y), grey = (306 R + 601 G + 117 B)
// >> 10 for RGB, complemented when polarity is 1. Prints the diagnostic of a
// refused or unsupported record to standard output.
Prep prepareHalfImage(const ScanRequest *req, uint8_t *half);

} // namespace glyphscan
