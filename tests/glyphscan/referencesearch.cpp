#include "referencesearch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <queue>
#include <vector>

namespace reference {
namespace {

constexpr int W = 320;
constexpr int H = 240;

using Image = std::vector<int>;

// Row-major buffer read; places outside the buffer read as background.
int px(const Image &b, int x, int y)
{
    const long i = long(y) * W + x;
    return (i >= 0 && i < W * H) ? b[size_t(i)] : 0;
}

} // namespace

// Adaptive threshold over an integral image: a pixel is set where it is
// darker than 95 % of its window's mean.
Image threshold(const uint8_t *g)
{
    std::vector<long long> I(W * H);
    for (int i = 0, x = 0, y = 0; i < W * H; x = ++i % W, y = i / W)
        I[i] = g[i] + (x ? I[i - 1] : 0) + (y ? I[i - W] : 0) - (x && y ? I[i - W - 1] : 0);
    const int s = (W / 8) / 2;
    Image b(W * H, 0);
    for (int i = 0, x = 0, y = 0; i < W * H; x = ++i % W, y = i / W) {
        const int x1 = std::max(0, x - s), x2 = std::min(W - 1, x + s);
        const int y1 = std::max(0, y - s), y2 = std::min(H - 1, y + s);
        const long long sum = I[y2 * W + x2] - I[y1 * W + x2] - I[y2 * W + x1] + I[y1 * W + x1];
        b[i] = (sum * 95) / 100 > (long long)(x2 - x1) * (y2 - y1) * g[i] ? 255 : 0;
    }
    return b;
}

namespace {

// Erosion keeps a pixel whose four neighbours are set; dilation writes 1
// (not 255) where any of the eight is 255. The frame's edge stays 0.
Image morph(const Image &in, bool erode)
{
    Image out(W * H, 0);
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1, i = y * W + 1; x < W - 1; ++x, ++i)
            if (erode)
                out[i] = in[i] && in[i - 1] && in[i + 1] && in[i - W] && in[i + W] ? 255 : 0;
            else
                for (int k = 0; k < 9; ++k)
                    out[i] |= in[i + (k / 3 - 1) * W + k % 3 - 1] == 255;
    return out;
}

// Eight-connected regions in scan order; regions of fewer than 3 pixels and
// those beyond the table's room are not recorded.
void label(const Image &b, glyphscan::MarkSearch &out)
{
    std::vector<bool> seen(W * H, false);
    out.regionCount = 0;
    for (int start = 0; start < W * H; ++start) {
        if (!b[start] || seen[start])
            continue;
        int n = 0, minX = W, maxX = 0, minY = H, maxY = 0;
        std::queue<int> q;
        q.push(start);
        seen[start] = true;
        for (; !q.empty(); q.pop(), ++n) {
            const int x = q.front() % W, y = q.front() / W;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
            for (int k = 0; k < 9; ++k) {
                const int nx = x + k % 3 - 1, ny = y + k / 3 - 1, j = ny * W + nx;
                if (nx >= 0 && ny >= 0 && nx < W && ny < H && b[j] && !seen[j])
                    seen[j] = true, q.push(j);
            }
        }
        if (n >= 3 && out.regionCount < glyphscan::kMaxRegions)
            out.regions[out.regionCount++] = {n - 1, minX, minY, maxX - minX + 1, maxY - minY + 1};
    }
}

// Solid disc: nearly empty 20 x 20 corners of the box, a solid 8 x 8 centre.
bool disc(const Image &b, const glyphscan::RegionRecord &r)
{
    auto count = [&](int x0, int y0, int side) {
        int n = 0;
        for (int i = 0; i < side * side; ++i)
            n += px(b, x0 + i % side, y0 + i / side) == 255;
        return n;
    };
    const int rx = r.minX + r.boxWidth - 19, by = r.minY + r.boxHeight - 19;
    for (int v : {count(r.minX, r.minY, 20), count(rx, r.minY, 20), count(r.minX, by, 20), count(rx, by, 20)})
        if (v / 400.1 > 0.1)
            return false;
    return count(r.boxWidth / 2 + r.minX - 4, r.boxHeight / 2 + r.minY - 4, 8) > 53;
}

// Circle: the first run of five set pixels from each side of every row and
// column inside the box lies within 3 pixels of the radius; fewer than 11
// misses (no run, or off the circle).
bool circle(const Image &b, const glyphscan::RegionRecord &r)
{
    const int cx = r.boxWidth / 2 + r.minX, cy = r.boxHeight / 2 + r.minY, r0 = r.boxWidth / 2;
    int misses = 0;
    auto edge = [&](int fixed, int from, int to, int step, bool alongRow) {
        for (int v = from; step > 0 ? v <= to : v >= to; v += step) {
            int sum = 0;
            for (int k = 0; k < 5; ++k)
                sum += alongRow ? px(b, v + k * step, fixed) : px(b, fixed, v + k * step);
            if (sum > 765) {
                const int dx = (alongRow ? v : fixed) - cx, dy = (alongRow ? fixed : v) - cy;
                misses += std::abs(int(std::sqrt(double(dx * dx + dy * dy))) - r0) > 3;
                return;
            }
        }
        ++misses;
    };
    for (int y = r.minY + 3; y < r.minY + r.boxWidth - 3; ++y)
        edge(y, r.minX, r.minX + r.boxWidth, 1, true), edge(y, r.minX + r.boxWidth, r.minX, -1, true);
    for (int x = r.minX + 3; x < r.minX + r.boxWidth - 3; ++x)
        edge(x, r.minY, r.minY + r.boxHeight, 1, false), edge(x, r.minY + r.boxHeight, r.minY, -1, false);
    return misses < 11;
}

bool accepts(const Image &b, const glyphscan::RegionRecord &r, int shape, float size, int &illegal)
{
    const int w = r.boxWidth + 1, h = r.boxHeight + 1;
    // Shape 2 works out the size limits in single precision, shape 3 in double.
    const auto fits = [&](auto lo, auto hi) { return lo <= 2 * w && 2 * w <= hi && lo <= 2 * h && 2 * h <= hi; };
    const bool square = 0.9 <= w / (h + 0.001) && w / (h + 0.001) <= 1.1;
    const double skew = std::fabs(1 - double(r.boxWidth) / r.boxHeight);
    const double m = std::max(1.0, double(size));
    switch (shape) {
    case 1:
        return 1500 <= r.area && r.area <= 4000 && 6 <= std::abs(w - h) && std::abs(w - h) <= 30
            && r.area / (w * h + 0.1) >= 0.6 && 0.15 <= skew && skew <= 0.35
            && r.area / double(r.boxWidth * r.boxHeight) >= 0.7;
    case 2:
        return fits((size - 1) * 20, (size + 1) * 20) && 1000 <= r.area && r.area <= 3000
            && std::abs(w - h) <= 10 && square && disc(b, r);
    case 3:
        return fits((m - 1) * 20, (m + 1) * 20) && std::abs(w - h) <= 20 && square && circle(b, r);
    default:
        ++illegal;
        return false;
    }
}

} // namespace

void searchMark(const uint8_t *half, int32_t shape, float size, glyphscan::MarkSearch &out)
{
    out.result = {};
    out.illegalShapeRegions = 0;
    Image b = morph(morph(morph(morph(threshold(half), true), true), false), true);
    label(b, out);
    // Regions under 600 pixels are wiped from the image before any shape test.
    for (int i = 0; i < out.regionCount; ++i) {
        const auto &r = out.regions[i];
        for (int y = r.minY; r.area < 600 && y < r.minY + r.boxHeight; ++y)
            std::fill_n(b.begin() + y * W + r.minX, r.boxWidth, 0);
    }
    for (int i = 0; i < out.regionCount; ++i) {
        const auto &r = out.regions[i];
        if (r.area < 600 || !accepts(b, r, shape, size, out.illegalShapeRegions))
            continue;
        const int w = r.boxWidth + 1, h = r.boxHeight + 1;
        out.result = {float(h), float(w), float((w + h) / 4), (2 * r.minX + r.boxWidth) / 2,
                      (2 * r.minY + r.boxHeight) / 2};
    }
}

} // namespace reference
