#include "marksearch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace glyphscan {
namespace {

constexpr int W = kHalfWidth;
constexpr int H = kHalfHeight;
constexpr int kWindow = (W / 8) / 2; // half size of the threshold window
constexpr int kMinArea = 600;
constexpr uint8_t kSet = 255;

void buildIntegral(const uint8_t *grey, uint32_t *integral)
{
    uint32_t rowSum = 0;
    for (int x = 0; x < W; ++x) {
        rowSum += grey[x];
        integral[x] = rowSum;
    }
    for (int y = 1; y < H; ++y) {
        const uint8_t *g = grey + y * W;
        const uint32_t *above = integral + (y - 1) * W;
        uint32_t *row = integral + y * W;
        rowSum = 0;
        for (int x = 0; x < W; ++x) {
            rowSum += g[x];
            row[x] = above[x] + rowSum;
        }
    }
}

// A pixel is foreground when (sum * 95) / 100 > count * pixel, with integer
// division; for integers that is sum * 95 >= 100 * (count * pixel + 1).
inline uint8_t darkerThanMean(uint32_t sum, uint32_t count, uint32_t pixel)
{
    return sum * 95u >= 100u * (count * pixel + 1u) ? kSet : 0;
}

void thresholdRow(const uint8_t *__restrict grey, const uint32_t *__restrict integral, int y,
                  uint8_t *__restrict out)
{
    const int y1 = std::max(0, y - kWindow);
    const int y2 = std::min(H - 1, y + kWindow);
    const uint32_t *top = integral + y1 * W;
    const uint32_t *bottom = integral + y2 * W;
    const uint8_t *g = grey + y * W;
    const uint32_t rows = static_cast<uint32_t>(y2 - y1);
    auto pixelAt = [&](int x, int x1, int x2) {
        const uint32_t sum = bottom[x2] - top[x2] - bottom[x1] + top[x1];
        return darkerThanMean(sum, static_cast<uint32_t>(x2 - x1) * rows, g[x]);
    };
    for (int x = 0; x < kWindow; ++x)
        out[x] = pixelAt(x, 0, x + kWindow);
    // Inside the window never touches the edges; this loop vectorises.
    const uint32_t count = 2u * kWindow * rows;
    for (int x = kWindow; x < W - kWindow; ++x) {
        const uint32_t sum = bottom[x + kWindow] - top[x + kWindow]
            - bottom[x - kWindow] + top[x - kWindow];
        out[x] = darkerThanMean(sum, count, g[x]);
    }
    for (int x = W - kWindow; x < W; ++x)
        out[x] = pixelAt(x, x - kWindow, W - 1);
}

} // namespace

void adaptiveThreshold(const uint8_t *grey, uint32_t *integral, uint8_t *binary)
{
    buildIntegral(grey, integral);
    for (int y = 0; y < H; ++y)
        thresholdRow(grey, integral, y, binary + y * W);
}

namespace {

// The morphology passes write only the inner pixels; the outermost rows and
// columns of every output are 0. Values are 0 or 255, so AND is erosion and
// OR is dilation, and "any non-zero" equals "is 255".
void clearBorder(uint8_t *out)
{
    std::memset(out, 0, W);
    std::memset(out + (H - 1) * W, 0, W);
    for (int y = 1; y < H - 1; ++y) {
        out[y * W] = 0;
        out[y * W + W - 1] = 0;
    }
}

void erodeCross(const uint8_t *__restrict in, uint8_t *__restrict out)
{
    for (int y = 1; y < H - 1; ++y) {
        const uint8_t *up = in + (y - 1) * W;
        const uint8_t *mid = in + y * W;
        const uint8_t *down = in + (y + 1) * W;
        uint8_t *o = out + y * W;
        for (int x = 1; x < W - 1; ++x)
            o[x] = mid[x] & mid[x - 1] & mid[x + 1] & up[x] & down[x];
    }
    clearBorder(out);
}

void dilateSquare(const uint8_t *__restrict in, uint8_t *__restrict out,
                  uint8_t *__restrict columnOr)
{
    // Separable: OR of three rows, then OR of three columns of that.
    for (int y = 1; y < H - 1; ++y) {
        const uint8_t *up = in + (y - 1) * W;
        const uint8_t *mid = in + y * W;
        const uint8_t *down = in + (y + 1) * W;
        for (int x = 0; x < W; ++x)
            columnOr[x] = up[x] | mid[x] | down[x];
        uint8_t *o = out + y * W;
        for (int x = 1; x < W - 1; ++x)
            o[x] = columnOr[x - 1] | columnOr[x] | columnOr[x + 1];
    }
    clearBorder(out);
}

void cleanUp(uint8_t *binary, uint8_t *scratch)
{
    uint8_t columnOr[W];
    erodeCross(binary, scratch);
    erodeCross(scratch, binary);
    dilateSquare(binary, scratch, columnOr);
    erodeCross(scratch, binary);
}

int32_t findRoot(int32_t *parent, int32_t i)
{
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// The smaller index stays the root, so a region's root is its first run in
// scan order, the run holding the pixel where a flood fill would start.
void unite(int32_t *parent, int32_t a, int32_t b)
{
    a = findRoot(parent, a);
    b = findRoot(parent, b);
    if (a < b)
        parent[b] = a;
    else if (b < a)
        parent[a] = b;
}

int32_t collectRuns(const uint8_t *row, int y, MarkWorkspace &ws, int32_t n)
{
    int x = 0;
    while (x < W) {
        // Skip empty stretches eight pixels at a time.
        uint64_t word;
        if (x + 8 <= W && (std::memcpy(&word, row + x, 8), word == 0)) {
            x += 8;
            continue;
        }
        if (!row[x]) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < W && row[x])
            ++x;
        ws.runs[n] = {static_cast<int16_t>(y), static_cast<int16_t>(start),
                      static_cast<int16_t>(x - 1)};
        ws.parent[n] = n;
        ++n;
    }
    return n;
}

// Joins the runs of one row with the 8-connected runs of the row above.
void joinRows(MarkWorkspace &ws, int32_t prevBegin, int32_t curBegin, int32_t curEnd)
{
    int32_t i = prevBegin;
    int32_t j = curBegin;
    while (i < curBegin && j < curEnd) {
        const auto &a = ws.runs[i];
        const auto &b = ws.runs[j];
        if (a.x1 + 1 < b.x0) {
            ++i;
        } else if (b.x1 + 1 < a.x0) {
            ++j;
        } else {
            unite(ws.parent, i, j);
            if (a.x1 < b.x1)
                ++i;
            else
                ++j;
        }
    }
}

// 8-connected labelling by runs; records the regions of three pixels or more
// in the order of their first pixel, at most kMaxRegions of them.
void labelRegions(const uint8_t *binary, MarkWorkspace &ws, MarkSearch &out)
{
    int32_t n = 0;
    int32_t prevBegin = 0;
    for (int y = 0; y < H; ++y) {
        const int32_t begin = n;
        n = collectRuns(binary + y * W, y, ws, n);
        if (y > 0)
            joinRows(ws, prevBegin, begin, n);
        prevBegin = begin;
    }
    for (int32_t i = 0; i < n; ++i) {
        const auto &run = ws.runs[i];
        const int32_t r = findRoot(ws.parent, i);
        ws.parent[i] = r;
        const int32_t len = run.x1 - run.x0 + 1;
        if (r == i) {
            ws.count[r] = len;
            ws.minX[r] = run.x0;
            ws.maxX[r] = run.x1;
            ws.maxY[r] = run.y;
        } else {
            ws.count[r] += len;
            ws.minX[r] = std::min(ws.minX[r], run.x0);
            ws.maxX[r] = std::max(ws.maxX[r], run.x1);
            ws.maxY[r] = std::max(ws.maxY[r], run.y);
        }
    }
    out.regionCount = 0;
    for (int32_t i = 0; i < n && out.regionCount < kMaxRegions; ++i) {
        if (ws.parent[i] != i || ws.count[i] < 3)
            continue;
        out.regions[out.regionCount++] = {ws.count[i] - 1, ws.minX[i], ws.runs[i].y,
                                          ws.maxX[i] - ws.minX[i] + 1,
                                          ws.maxY[i] - ws.runs[i].y + 1};
    }
}

// Pixels of the binary image by their place in the row-major buffer; places
// outside it read as background.
inline int at(const uint8_t *b, int x, int y)
{
    const long i = static_cast<long>(y) * W + x;
    return (i >= 0 && i < kHalfPixels) ? b[i] : 0;
}

int countSet(const uint8_t *b, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            n += at(b, x, y) != 0;
    return n;
}

bool discTest(const uint8_t *b, const RegionRecord &r)
{
    const int cx = r.boxWidth / 2 + r.minX;
    const int cy = r.boxHeight / 2 + r.minY;
    const int centre = countSet(b, cx - 4, cy - 4, cx + 3, cy + 3);
    const int right = r.minX + r.boxWidth;
    const int bottom = r.minY + r.boxHeight;
    const int corners[4] = {
        countSet(b, r.minX, r.minY, r.minX + 19, r.minY + 19),
        countSet(b, right - 19, r.minY, right, r.minY + 19),
        countSet(b, r.minX, bottom - 19, r.minX + 19, bottom),
        countSet(b, right - 19, bottom - 19, right, bottom),
    };
    for (int c : corners)
        if (c / 400.1 > 0.1)
            return false;
    return centre > 53;
}

// Five pixels from (x, y) in steps of (dx, dy): at least four set?
inline bool edgeAt(const uint8_t *b, int x, int y, int dx, int dy)
{
    int sum = 0;
    for (int i = 0; i < 5; ++i)
        sum += at(b, x + i * dx, y + i * dy);
    return sum > 765;
}

struct CircleProbe {
    const uint8_t *b;
    int cx, cy, r0;
    int misses = 0;

    void record(bool found, int x, int y)
    {
        if (!found) {
            ++misses;
            return;
        }
        const int dx = x - cx;
        const int dy = y - cy;
        const int d = static_cast<int>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
        if (std::abs(d - r0) > 3)
            ++misses;
    }
    // Walks from `from` to `to` (both included) and records the first edge.
    void scanRow(int y, int from, int to, int step)
    {
        for (int x = from; step > 0 ? x <= to : x >= to; x += step)
            if (edgeAt(b, x, y, step, 0))
                return record(true, x, y);
        record(false, 0, 0);
    }
    void scanColumn(int x, int from, int to, int step)
    {
        for (int y = from; step > 0 ? y <= to : y >= to; y += step)
            if (edgeAt(b, x, y, 0, step))
                return record(true, x, y);
        record(false, 0, 0);
    }
};

bool circleTest(const uint8_t *b, const RegionRecord &r)
{
    CircleProbe p{b, r.boxWidth / 2 + r.minX, r.boxHeight / 2 + r.minY, r.boxWidth / 2};
    const int right = r.minX + r.boxWidth;
    const int bottom = r.minY + r.boxHeight;
    // Rows run over the box width on purpose: the mark is round.
    for (int y = r.minY + 3; y < r.minY + r.boxWidth - 3; ++y) {
        p.scanRow(y, r.minX, right, +1);
        p.scanRow(y, right, r.minX, -1);
    }
    for (int x = r.minX + 3; x < r.minX + r.boxWidth - 3; ++x) {
        p.scanColumn(x, r.minY, bottom, +1);
        p.scanColumn(x, bottom, r.minY, -1);
    }
    return p.misses < 11;
}

bool oblongBlock(const RegionRecord &r, int w, int h)
{
    const double ratio = std::fabs(1.0 - static_cast<double>(r.boxWidth) / r.boxHeight);
    return r.area >= 1500 && r.area <= 4000
        && std::abs(w - h) >= 6 && std::abs(w - h) <= 30
        && r.area / (w * h + 0.1) >= 0.6
        && ratio >= 0.15 && ratio <= 0.35
        && r.area / static_cast<double>(r.boxWidth * r.boxHeight) >= 0.7;
}

template <typename T>
bool sizeFits(T lo, T hi, int w, int h)
{
    const T w2 = static_cast<T>(2 * w);
    const T h2 = static_cast<T>(2 * h);
    return lo <= w2 && w2 <= hi && lo <= h2 && h2 <= hi;
}

bool squareEnough(int w, int h)
{
    const double q = w / (h + 0.001);
    return q >= 0.9 && q <= 1.1;
}

bool solidDisc(const uint8_t *b, const RegionRecord &r, int w, int h, float markSize)
{
    const float lo = (markSize - 1) * 20;
    const float hi = (markSize + 1) * 20;
    return sizeFits(lo, hi, w, h) && r.area >= 1000 && r.area <= 3000
        && std::abs(w - h) <= 10 && squareEnough(w, h) && discTest(b, r);
}

bool circleOrDisc(const uint8_t *b, const RegionRecord &r, int w, int h, float markSize)
{
    const double m = std::fmax(1.0, markSize);
    const double lo = (m - 1) * 20;
    const double hi = (m + 1) * 20;
    return sizeFits(lo, hi, w, h) && std::abs(w - h) <= 20 && squareEnough(w, h)
        && circleTest(b, r);
}

void clearBox(uint8_t *b, const RegionRecord &r)
{
    for (int y = r.minY; y < r.minY + r.boxHeight; ++y)
        std::memset(b + y * W + r.minX, 0, static_cast<size_t>(r.boxWidth));
}

void testRegions(uint8_t *binary, int32_t markShape, float markSize, MarkSearch &out)
{
    bool anyKept = false;
    for (int i = 0; i < out.regionCount; ++i) {
        if (out.regions[i].area < kMinArea)
            clearBox(binary, out.regions[i]);
        else
            anyKept = true;
    }
    if (!anyKept)
        return;
    for (int i = 0; i < out.regionCount; ++i) {
        const RegionRecord &r = out.regions[i];
        if (r.area < kMinArea)
            continue;
        const int w = r.boxWidth + 1;
        const int h = r.boxHeight + 1;
        bool accepted = false;
        switch (markShape) {
        case 1: accepted = oblongBlock(r, w, h); break;
        case 2: accepted = solidDisc(binary, r, w, h, markSize); break;
        case 3: accepted = circleOrDisc(binary, r, w, h, markSize); break;
        default: ++out.illegalShapeRegions; break;
        }
        if (accepted)
            out.result = {static_cast<float>(h), static_cast<float>(w),
                          static_cast<float>((w + h) / 4),
                          (2 * r.minX + r.boxWidth) / 2, (2 * r.minY + r.boxHeight) / 2};
    }
}

} // namespace

void searchMark(const uint8_t *half, int32_t markShape, float markSize,
                MarkSearch &out, MarkWorkspace &ws)
{
    out.result = {};
    out.regionCount = 0;
    out.illegalShapeRegions = 0;
    adaptiveThreshold(half, ws.integral, ws.binary);
    cleanUp(ws.binary, ws.scratch);
    labelRegions(ws.binary, ws, out);
    testRegions(ws.binary, markShape, markSize, out);
}

} // namespace glyphscan
