#include "render.h"

#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>

namespace {

constexpr int kLongSide = 1600;
constexpr int kMargin = 20;

struct Frame
{
    QRectF plot;  // plotter units
    double scale; // pixels per plotter unit
    QSize size;   // pixels
};

Frame frameFor(const PlotPathList &paths)
{
    const PltSolve solve;
    QRectF box;
    for (const PlotPath &path : paths)
        if (!path.segments.isEmpty())
            box = box.isNull() ? solve.boundingRect(path) : box.united(solve.boundingRect(path));
    if (box.width() < 1)
        box.setWidth(1);
    if (box.height() < 1)
        box.setHeight(1);
    const double scale = kLongSide / std::max(box.width(), box.height());
    const QSize size(int(box.width() * scale) + 2 * kMargin, int(box.height() * scale) + 2 * kMargin);
    return {box, scale, size};
}

QColor colourOf(int pen)
{
    return pen == 2 ? QColor(Qt::blue) : pen == 3 ? QColor(Qt::red) : QColor(Qt::black);
}

void paint(QPainter &painter, const PlotPathList &paths, const Frame &frame)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(QPoint(0, 0), frame.size), Qt::white);
    // Plot y points up: the top of the picture is the box's largest y.
    const QTransform toPixels(frame.scale, 0, 0, -frame.scale,
                              kMargin - frame.plot.left() * frame.scale,
                              kMargin + frame.plot.bottom() * frame.scale);
    for (const PlotPath &path : paths) {
        QPen pen(colourOf(path.pen), 1.0, path.lineType != 0 ? Qt::DashLine : Qt::SolidLine,
                 Qt::SquareCap, Qt::BevelJoin);
        painter.setPen(pen);
        for (const QLineF &s : path.segments) {
            const QLineF rounded(double(roundCoordinate(s.x1())), double(roundCoordinate(s.y1())),
                                 double(roundCoordinate(s.x2())), double(roundCoordinate(s.y2())));
            painter.drawLine(toPixels.map(rounded));
        }
    }
}

} // namespace

bool renderPng(const PlotPathList &paths, const QString &fileName)
{
    const Frame frame = frameFor(paths);
    QImage image(frame.size, QImage::Format_RGB32);
    QPainter painter(&image);
    paint(painter, paths, frame);
    painter.end();
    return image.save(fileName, "PNG");
}

bool renderSvg(const PlotPathList &paths, const QString &fileName)
{
    const Frame frame = frameFor(paths);
    QSvgGenerator svg;
    svg.setFileName(fileName);
    svg.setSize(frame.size);
    svg.setViewBox(QRect(QPoint(0, 0), frame.size));
    svg.setTitle(QStringLiteral("pltjob"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    paint(painter, paths, frame);
    return painter.end();
}
