// QR (and any other zbar symbology) decoding over nine brightness clips of
// the half image. Internal to glyphscan (not exported); the tests link it to
// see which clip level read the code.
#pragma once

#include "imageprep.h"

#include <cstddef>
#include <cstdint>

namespace glyphscan {

constexpr int kClipLevels = 9; // t = 20, 40, ..., 180
constexpr int kTextCapacity = 1024;

struct QrOptions {
    // Skip the scans whose result is known without zbar: a clip image equal
    // to the one scanned before it (no half-image pixel lies between the two
    // levels), and a clip image that is plain white (no edge to decode).
    bool skipKnownLevels = true;
    // Scan the levels on several threads, the caller's and helpers started
    // for the call. The result is the one of the lowest level that reads, the
    // same as scanning the levels one after another; levels above it that
    // have not started yet are left out.
    bool parallel = true;
    // Threads when parallel: 0 as many as the machine has cores; never more
    // than there are levels to scan.
    int threads = 0;
};

// Copies symbol data up to its first zero byte, at most kTextCapacity - 1
// bytes, and a terminating zero into text.
void copySymbolText(const char *data, size_t length, char *text);

// Scans the clip images of a 320 x 240 grey image from level 20 upwards and
// takes the first one where zbar finds a symbol (each level with a scanner
// of its own). The data of the last symbol zbar reports, cut at its first
// zero byte and at 1023 bytes, is copied into text (capacity kTextCapacity)
// with a terminating zero.
// Returns the clip level that read the symbol, or 0 (text untouched).
int decodeHalfImage(const uint8_t *half, char *text, QrOptions options = {});

// qr_decode with the clip level as result: -1 when the record is refused
// (nothing read or written), otherwise as decodeHalfImage.
int decodeRequest(ScanRequest *req, QrOptions options = {});

} // namespace glyphscan
