#include "lineview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVector>
#include <QWheelEvent>

#include <climits>
#include <cmath>

namespace {

constexpr double zoomStep = 0.005;
constexpr double minimumZoomOutScale = 0.01;
// The bed picture's rectangle in painter coordinates (plotter units, y negated).
const QRectF bedRect(-4000, -22000, 40000, 29000);

// round(v) with halves going up, as the zoom and pan arithmetic wants.
int roundHalfUp(double v)
{
    return int(std::floor(v + 0.5));
}

// QLineF::toLine's rounding, clamped to what QLine and a negation can hold:
// a plot file may carry coordinates far outside the int range.
int pixelCoordinate(double v)
{
    return int(qBound<qint64>(-INT_MAX, roundCoordinate(v), INT_MAX));
}

Qt::GlobalColor penColour(int pen)
{
    switch (pen) {
    case 2:
        return Qt::blue;
    case 3:
        return Qt::red;
    default:
        return Qt::black;
    }
}

bool samePen(const PlotPath &a, const PlotPath &b)
{
    return penColour(a.pen) == penColour(b.pen) && (a.lineType != 0) == (b.lineType != 0);
}

void appendSegments(QVector<QLine> &lines, const PlotPath &path)
{
    for (const QLineF &s : path.segments)
        lines.append(QLine(pixelCoordinate(s.x1()), -pixelCoordinate(s.y1()),
                           pixelCoordinate(s.x2()), -pixelCoordinate(s.y2())));
}

} // namespace

QPen plotPathPen(const PlotPath &path, double scale)
{
    return QPen(QBrush(penColour(path.pen)), 1 / scale,
                path.lineType != 0 ? Qt::DashLine : Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

void drawPlotPaths(QPainter &painter, const PlotPathList &paths, double scale)
{
    // Each line of a drawLines call is stroked on its own (dashes restart,
    // caps overlap as with separate calls), so batching a run of paths with
    // one pen changes nothing on screen; keeping runs in list order keeps
    // which colour lies on top where paths cross.
    QVector<QLine> lines;
    for (int first = 0; first < paths.size();) {
        int end = first;
        lines.clear();
        while (end < paths.size() && samePen(paths.at(first), paths.at(end)))
            appendSegments(lines, paths.at(end++));
        painter.setPen(plotPathPen(paths.at(first), scale));
        painter.drawLines(lines);
        first = end;
    }
}

LineView::LineView(QWidget *parent)
    : QWidget(parent)
    , bed(QStringLiteral(":/png/flat.png"))
{
}

void LineView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QBrush(Qt::white));
    painter.drawRect(rect());

    painter.scale(scale, scale);
    painter.translate(QPointF(offsetX, offsetY));
    painter.drawPixmap(bedRect, bed, QRectF(bed.rect()));
    drawPlotPaths(painter, paths, scale);
}

void LineView::wheelEvent(QWheelEvent *event)
{
    if (!zoomEnabled)
        return;
    const QPoint p = event->position().toPoint();
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    const double s = scale;
    const int wx = roundHalfUp(p.x() / s) - offsetX;
    const int wy = roundHalfUp(p.y() / s) - offsetY;

    // A zero delta (the end of a touchpad scroll) zooms neither way.
    if (delta > 0)
        scale = s + zoomStep;
    else if (delta < 0 && s > minimumZoomOutScale)
        scale = s - zoomStep;

    if (scale != s) {
        anchorX = offsetX = roundHalfUp(p.x() / scale) - wx;
        anchorY = offsetY = roundHalfUp(p.y() / scale) - wy;
    }
    repaint();
}

void LineView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        zoomEnabled = false;
        pressX = event->pos().x();
        pressY = event->pos().y();
    }
    repaint();
}

void LineView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton) {
        offsetX = anchorX + roundHalfUp((event->pos().x() - pressX) / scale);
        offsetY = anchorY + roundHalfUp((event->pos().y() - pressY) / scale);
    }
    repaint();
}

void LineView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        anchorX = offsetX;
        anchorY = offsetY;
        zoomEnabled = true;
    }
    repaint();
}

void LineView::resizeEvent(QResizeEvent *)
{
    anchorX = offsetX = homeX;
    anchorY = offsetY = int(height() / scale) - homeY;
    repaint();
}
