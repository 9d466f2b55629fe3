#pragma once
// Pixel classes of the camera view's drawing (green mark circle, blue QR
// text, dark state text) and counting them in a grabbed picture.
#include <QImage>

inline bool isGreen(QRgb p) { return qGreen(p) > 150 && qRed(p) < 110 && qBlue(p) < 110; }
inline bool isBlue(QRgb p) { return qBlue(p) > 150 && qRed(p) < 110 && qGreen(p) < 110; }
inline bool isDark(QRgb p) { return qGray(p) < 128; }
inline bool isLit(QRgb p) { return qRgb(qRed(p), qGreen(p), qBlue(p)) != qRgb(0, 0, 0); }

// Pixels in `area` (the whole picture when null) that pass `test`.
inline int countPixels(const QImage &image, bool (*test)(QRgb), QRect area = QRect())
{
    if (area.isNull())
        area = image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}
