// A deliberately plain QR level search written straight from the algorithm's
// description: each of the nine clip levels in turn, a fresh scanner and
// image per level, the symbol texts copied straight into the caller's
// buffer. The library's (skipping, two-threaded) search must leave the same
// bytes and report the same level.
#pragma once

#include <cstdint>

namespace reference {

// Returns the clip level that read a symbol, or 0 (text untouched).
int decodeHalfImage(const uint8_t *half, char *text);

} // namespace reference
