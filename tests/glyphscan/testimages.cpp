#include "testimages.h"

#include <qrencode.h>

#include <cmath>

namespace testimages {

void Frame::toRgb()
{
    rgb.resize(grey.size() * 3);
    for (size_t i = 0; i < grey.size(); ++i)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
}

ScanRequest Frame::request(int shape, int polarity, float size)
{
    ScanRequest r{};
    const bool colour = !rgb.empty();
    r.data = colour ? rgb.data() : grey.data();
    r.width = kWidth;
    r.height = kHeight;
    r.dataSize = static_cast<int32_t>(colour ? rgb.size() : grey.size());
    r.dataType = colour ? 1 : 0;
    r.markShape = shape;
    r.polarity = polarity;
    r.markSize = size;
    r.text = &text[0];
    return r;
}

void disc(Frame &f, double cx, double cy, double diameter, uint8_t v)
{
    ring(f, cx, cy, diameter, diameter, v);
}

void ring(Frame &f, double cx, double cy, double diameter, double thickness, uint8_t v,
          double gap)
{
    const double outer = diameter / 2;
    const double inner = outer - thickness;
    for (int y = int(cy - outer) - 1; y <= int(cy + outer) + 1; ++y)
        for (int x = int(cx - outer) - 1; x <= int(cx + outer) + 1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const double angle = std::abs(std::atan2(y + 0.5 - cy, x + 0.5 - cx)) * 180 / M_PI;
            if (d <= outer && d >= inner && angle >= gap / 2)
                f.set(x, y, v);
        }
}

void ellipse(Frame &f, double cx, double cy, double diameter, double aspect, uint8_t v)
{
    const double ry = diameter / 2;
    const double rx = ry * aspect;
    for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
        for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x) {
            const double u = (x + 0.5 - cx) / rx;
            const double w = (y + 0.5 - cy) / ry;
            if (u * u + w * w <= 1)
                f.set(x, y, v);
        }
}

void block(Frame &f, int x, int y, int w, int h, uint8_t v)
{
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            f.set(i, j, v);
}

void diamond(Frame &f, int cx, int cy, int halfDiagonal, uint8_t v)
{
    for (int y = cy - halfDiagonal; y <= cy + halfDiagonal; ++y)
        for (int x = cx - halfDiagonal; x <= cx + halfDiagonal; ++x)
            if (std::abs(x - cx) + std::abs(y - cy) <= halfDiagonal)
                f.set(x, y, v);
}

bool qrCode(Frame &f, const std::string &data, int cx, int cy, int module,
            uint8_t dark, uint8_t light)
{
    QRcode *code = QRcode_encodeData(static_cast<int>(data.size()),
                                     reinterpret_cast<const unsigned char *>(data.data()),
                                     0, QR_ECLEVEL_M);
    if (!code)
        return false;
    const int n = code->width;
    const int side = (n + 8) * module;
    const int x0 = cx - side / 2;
    const int y0 = cy - side / 2;
    block(f, x0, y0, side, side, light);
    for (int my = 0; my < n; ++my)
        for (int mx = 0; mx < n; ++mx)
            if (code->data[my * n + mx] & 1)
                block(f, x0 + (mx + 4) * module, y0 + (my + 4) * module, module, module, dark);
    QRcode_free(code);
    return true;
}

} // namespace testimages
