#include "simrender.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace {
constexpr double kPixelsPerUnit = 0.1; // 40 units per mm -> 4 px per mm
constexpr int kMaxSide = 4000;
constexpr int kMargin = 8;
}

QImage renderSheet(const SimSheet &sheet)
{
    QRectF area(0, 0, sheet.mdSize.width(), sheet.mdSize.height());
    for (const SimLine &l : sheet.lines)
        area |= QRectF(l.line.p1(), l.line.p2()).normalized();
    double scale = kPixelsPerUnit;
    scale = std::min(scale, kMaxSide / std::max(1.0, std::max(area.width(), area.height())));
    const QSize size(int(area.width() * scale) + 2 * kMargin, int(area.height() * scale) + 2 * kMargin);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    // The cutter's y points up, as in the preview and pltjob's pictures:
    // the sheet's top edge (largest y) is drawn at the top of the image.
    painter.translate(kMargin, kMargin + area.height() * scale);
    painter.scale(scale, -scale);
    painter.translate(-area.topLeft());
    for (const SimLine &l : sheet.lines) {
        const QColor colour = l.pen == 1 ? QColor(Qt::black) : l.pen == 2 ? QColor(Qt::blue) : QColor(Qt::gray);
        QPen pen(colour, 2);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLine(l.line);
    }
    return image;
}

bool saveSheetPng(const SimSheet &sheet, const QString &file)
{
    return renderSheet(sheet).save(file, "PNG");
}
