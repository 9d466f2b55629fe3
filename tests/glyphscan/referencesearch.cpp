#include "referencesearch.h"

#include <cmath>
#include <cstdlib>
#include <queue>
#include <utility>
#include <vector>

namespace reference {
namespace {

constexpr int W = 320;
constexpr int H = 240;

using Image = std::vector<int>;

// Row-major buffer read; places outside it read as background.
int px(const Image &b, int x, int y)
{
    const long i = long(y) * W + x;
    return (i >= 0 && i < W * H) ? b[i] : 0;
}

Image threshold(const uint8_t *g)
{
    std::vector<long long> I(W * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            I[y * W + x] = g[y * W + x] + (x ? I[y * W + x - 1] : 0) + (y ? I[(y - 1) * W + x] : 0)
                - (x && y ? I[(y - 1) * W + x - 1] : 0);
    const int s = (W / 8) / 2;
    Image b(W * H, 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int x1 = std::max(0, x - s), x2 = std::min(W - 1, x + s);
            const int y1 = std::max(0, y - s), y2 = std::min(H - 1, y + s);
            const long long sum = I[y2 * W + x2] - I[y1 * W + x2] - I[y2 * W + x1] + I[y1 * W + x1];
            const long long count = (long long)(x2 - x1) * (y2 - y1);
            b[y * W + x] = (sum * 95) / 100 > count * g[y * W + x] ? 255 : 0;
        }
    return b;
}

Image erode(const Image &in)
{
    Image out(W * H, 0);
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1; x < W - 1; ++x)
            out[y * W + x] = in[y * W + x] && in[y * W + x - 1] && in[y * W + x + 1]
                    && in[(y - 1) * W + x] && in[(y + 1) * W + x] ? 255 : 0;
    return out;
}

Image dilate(const Image &in)
{
    Image out(W * H, 0);
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1; x < W - 1; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (in[(y + dy) * W + x + dx] == 255)
                        out[y * W + x] = 1;
    return out;
}

void label(const Image &b, glyphscan::MarkSearch &out)
{
    std::vector<bool> seen(W * H, false);
    out.regionCount = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (!b[y * W + x] || seen[y * W + x])
                continue;
            int n = 0, minX = x, maxX = x, minY = y, maxY = y;
            std::queue<std::pair<int, int>> q;
            q.push({x, y});
            seen[y * W + x] = true;
            while (!q.empty()) {
                auto [px0, py0] = q.front();
                q.pop();
                ++n;
                minX = std::min(minX, px0); maxX = std::max(maxX, px0);
                minY = std::min(minY, py0); maxY = std::max(maxY, py0);
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = px0 + dx, ny = py0 + dy;
                        if (nx < 0 || ny < 0 || nx >= W || ny >= H)
                            continue;
                        if (b[ny * W + nx] && !seen[ny * W + nx]) {
                            seen[ny * W + nx] = true;
                            q.push({nx, ny});
                        }
                    }
            }
            if (n < 3 || out.regionCount >= glyphscan::kMaxRegions)
                continue;
            out.regions[out.regionCount++] = {n - 1, minX, minY, maxX - minX + 1, maxY - minY + 1};
        }
}

bool disc(const Image &b, const glyphscan::RegionRecord &r)
{
    const int cx = r.boxWidth / 2 + r.minX, cy = r.boxHeight / 2 + r.minY;
    auto count = [&](int x0, int y0) {
        int n = 0;
        for (int y = y0; y < y0 + 20; ++y)
            for (int x = x0; x < x0 + 20; ++x)
                n += px(b, x, y) == 255;
        return n;
    };
    int centre = 0;
    for (int y = cy - 4; y <= cy + 3; ++y)
        for (int x = cx - 4; x <= cx + 3; ++x)
            centre += px(b, x, y) == 255;
    const int rx = r.minX + r.boxWidth - 19, by = r.minY + r.boxHeight - 19;
    const int c[4] = {count(r.minX, r.minY), count(rx, r.minY), count(r.minX, by), count(rx, by)};
    for (int v : c)
        if (v / 400.1 > 0.1)
            return false;
    return centre > 53;
}

bool circle(const Image &b, const glyphscan::RegionRecord &r)
{
    const int cx = r.boxWidth / 2 + r.minX, cy = r.boxHeight / 2 + r.minY, r0 = r.boxWidth / 2;
    std::vector<int> ds;
    int misses = 0;
    auto hit = [&](int x, int y) { ds.push_back(int(std::sqrt(double((x - cx) * (x - cx) + (y - cy) * (y - cy))))); };
    for (int y = r.minY + 3; y < r.minY + r.boxWidth - 3; ++y) {
        bool found = false;
        for (int x = r.minX; x <= r.minX + r.boxWidth && !found; ++x)
            if (px(b, x, y) + px(b, x + 1, y) + px(b, x + 2, y) + px(b, x + 3, y) + px(b, x + 4, y) > 765)
                hit(x, y), found = true;
        misses += !found;
        found = false;
        for (int x = r.minX + r.boxWidth; x >= r.minX && !found; --x)
            if (px(b, x, y) + px(b, x - 1, y) + px(b, x - 2, y) + px(b, x - 3, y) + px(b, x - 4, y) > 765)
                hit(x, y), found = true;
        misses += !found;
    }
    for (int x = r.minX + 3; x < r.minX + r.boxWidth - 3; ++x) {
        bool found = false;
        for (int y = r.minY; y <= r.minY + r.boxHeight && !found; ++y)
            if (px(b, x, y) + px(b, x, y + 1) + px(b, x, y + 2) + px(b, x, y + 3) + px(b, x, y + 4) > 765)
                hit(x, y), found = true;
        misses += !found;
        found = false;
        for (int y = r.minY + r.boxHeight; y >= r.minY && !found; --y)
            if (px(b, x, y) + px(b, x, y - 1) + px(b, x, y - 2) + px(b, x, y - 3) + px(b, x, y - 4) > 765)
                hit(x, y), found = true;
        misses += !found;
    }
    for (int d : ds)
        misses += std::abs(d - r0) > 3;
    return misses < 11;
}

bool accepts(const Image &b, const glyphscan::RegionRecord &r, int shape, float size, int &illegal)
{
    const int w = r.boxWidth + 1, h = r.boxHeight + 1;
    if (shape == 1)
        return 1500 <= r.area && r.area <= 4000 && 6 <= std::abs(w - h) && std::abs(w - h) <= 30
            && r.area / (w * h + 0.1) >= 0.6
            && 0.15 <= std::fabs(1 - double(r.boxWidth) / r.boxHeight)
            && std::fabs(1 - double(r.boxWidth) / r.boxHeight) <= 0.35
            && r.area / double(r.boxWidth * r.boxHeight) >= 0.7;
    if (shape == 2) {
        const float lo = (size - 1) * 20, hi = (size + 1) * 20;
        return lo <= 2 * w && 2 * w <= hi && lo <= 2 * h && 2 * h <= hi && 1000 <= r.area
            && r.area <= 3000 && std::abs(w - h) <= 10 && 0.9 <= w / (h + 0.001)
            && w / (h + 0.001) <= 1.1 && disc(b, r);
    }
    if (shape == 3) {
        const double m = std::max(1.0, double(size));
        const double lo = (m - 1) * 20, hi = (m + 1) * 20;
        return lo <= 2 * w && 2 * w <= hi && lo <= 2 * h && 2 * h <= hi && std::abs(w - h) <= 20
            && 0.9 <= w / (h + 0.001) && w / (h + 0.001) <= 1.1 && circle(b, r);
    }
    ++illegal;
    return false;
}

} // namespace

void searchMark(const uint8_t *half, int32_t shape, float size, glyphscan::MarkSearch &out)
{
    out.result = {};
    out.illegalShapeRegions = 0;
    Image b = erode(dilate(erode(erode(threshold(half)))));
    label(b, out);
    for (int i = 0; i < out.regionCount; ++i) {
        const auto &r = out.regions[i];
        if (r.area < 600)
            for (int y = r.minY; y < r.minY + r.boxHeight; ++y)
                for (int x = r.minX; x < r.minX + r.boxWidth; ++x)
                    b[y * W + x] = 0;
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
