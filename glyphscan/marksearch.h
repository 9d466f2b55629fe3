// Registration-mark search on the 320 x 240 half image. Internal to
// glyphscan (not exported); the tests link it to compare against a plain
// reference.
#pragma once

#include "imageprep.h"

#include <cstdint>

namespace glyphscan {

constexpr int kMaxRegions = 1023; // regions recorded per image; more are ignored

// One labelled region, half-resolution pixels. area is the pixel count - 1.
struct RegionRecord {
    int32_t area;
    int32_t minX;
    int32_t minY;
    int32_t boxWidth;  // maxX - minX + 1
    int32_t boxHeight; // maxY - minY + 1
};

// The accepted region, half resolution; all zero when none was accepted.
struct MarkResult {
    float height;
    float width;
    float radius;
    int32_t x;
    int32_t y;
};

struct MarkSearch {
    MarkResult result;
    int32_t regionCount;
    RegionRecord regions[kMaxRegions];
    // Regions of area 600 or more met while markShape was not 1, 2 or 3; the
    // caller prints "illegal mark type" once for each.
    int32_t illegalShapeRegions;
};

// Scratch memory of one search, kept in one block so that a call allocates
// once. Its contents mean nothing between calls.
struct MarkWorkspace {
    static constexpr int kMaxRuns = kHalfHeight * (kHalfWidth / 2);
    struct Run {
        int16_t y;
        int16_t x0;
        int16_t x1;
    };
    uint32_t integral[kHalfPixels];
    uint8_t binary[kHalfPixels];
    uint8_t scratch[kHalfPixels];
    Run runs[kMaxRuns];
    int32_t parent[kMaxRuns];
    int32_t count[kMaxRuns];
    int16_t minX[kMaxRuns];
    int16_t maxX[kMaxRuns];
    int16_t maxY[kMaxRuns];
};

// The search's first step: 255 where a pixel is darker than 95 % of the mean
// of the 40 x 40 window around it, else 0. integral is scratch of kHalfPixels.
void adaptiveThreshold(const uint8_t *grey, uint32_t *integral, uint8_t *binary);

// Finds the mark of the given shape (1 oblong block, 2 solid disc, 3 circle
// or disc) in a 320 x 240 grey image; markSize is the nominal size that
// shapes 2 and 3 use. Fills every field of out. The last region in scan
// order that passes the shape's tests is the result.
void searchMark(const uint8_t *half, int32_t markShape, float markSize,
                MarkSearch &out, MarkWorkspace &ws);

} // namespace glyphscan
