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

constexpr int kCutOrderSteps = 256;
// Start marks, screen pixels.
constexpr double kDotWidth = 5;
constexpr double kArrowTipAt = 14; // from the start, or the first segment's end when nearer
constexpr double kArrowLength = 6;
constexpr double kArrowWidth = 1.5;

bool sameStroke(const PenRun &a, const PenRun &b)
{
    return a.colour == b.colour && a.dashed == b.dashed;
}

QPen runPen(const QColor &colour, bool dashed, double scale)
{
    return QPen(QBrush(colour), 1 / scale, dashed ? Qt::DashLine : Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

QLine pixelLine(const QLineF &s)
{
    return QLine(pixelCoordinate(s.x1()), -pixelCoordinate(s.y1()), pixelCoordinate(s.x2()),
                 -pixelCoordinate(s.y2()));
}

// The painter-coordinate box outside which a line cannot colour a pixel of
// the device: the device rectangle widened by three pixels for the pen's
// half width, its square cap and the antialiased edge.
QRectF reachableBox(const QPainter &painter)
{
    const QPaintDevice *device = painter.device();
    const QRectF pixels = QRectF(0, 0, device->width(), device->height()).adjusted(-3, -3, 3, 3);
    return painter.combinedTransform().inverted().mapRect(pixels);
}

bool outside(const QLine &line, const QRectF &box)
{
    return qMax(line.x1(), line.x2()) < box.left() || qMin(line.x1(), line.x2()) > box.right()
        || qMax(line.y1(), line.y2()) < box.top() || qMin(line.y1(), line.y2()) > box.bottom();
}

// strokeOf(i) is an empty run with the pen path i is drawn with.
template <typename StrokeOf>
QVector<PenRun> runsOf(const PlotPathList &paths, StrokeOf strokeOf)
{
    // Two passes, so a large file's runs are allocated once at their final
    // size and then filled in place. Neighbouring runs differ in colour or
    // style, so a path whose pen differs from the current run's begins the
    // next one.
    QVector<PenRun> runs;
    QVector<int> lengths;
    for (int i = 0; i < paths.size(); ++i) {
        const PenRun stroke = strokeOf(i);
        if (runs.isEmpty() || !sameStroke(runs.last(), stroke)) {
            runs.append(stroke);
            lengths.append(0);
        }
        lengths.last() += paths.at(i).segments.size();
    }
    for (int i = 0; i < runs.size(); ++i)
        runs[i].lines.resize(lengths.at(i));
    int run = 0;
    QLine *next = runs.isEmpty() ? nullptr : runs[0].lines.data();
    for (int i = 0; i < paths.size(); ++i) {
        if (!sameStroke(runs.at(run), strokeOf(i)))
            next = runs[++run].lines.data();
        for (const QLineF &s : paths.at(i).segments)
            *next++ = pixelLine(s);
    }
    return runs;
}

} // namespace

QPen plotPathPen(const PlotPath &path, double scale)
{
    return runPen(penColour(path.pen), path.lineType != 0, scale);
}

QVector<PenRun> penRuns(const PlotPathList &paths)
{
    return runsOf(paths, [&](int i) {
        return PenRun{penColour(paths.at(i).pen), paths.at(i).lineType != 0, {}};
    });
}

QColor cutOrderColour(int index, int count)
{
    const int steps = qMin(count, kCutOrderSteps);
    const int step = count > 0 ? int(qint64(index) * steps / count) : 0;
    const double t = steps > 1 ? double(step) / (steps - 1) : 0.0;
    return QColor::fromHsvF(std::fmod(2.0 / 3 + t / 3, 1.0), 1, 1).toRgb();
}

QVector<PenRun> cutOrderRuns(const PlotPathList &paths)
{
    return runsOf(paths, [&](int i) {
        return PenRun{cutOrderColour(i, paths.size()), paths.at(i).lineType != 0, {}};
    });
}

QVector<PathStart> pathStarts(const PlotPathList &paths)
{
    QVector<PathStart> starts;
    starts.reserve(paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        if (paths.at(i).segments.isEmpty())
            continue;
        const QLineF first(pixelLine(paths.at(i).segments.first()));
        const double length = first.length();
        const QPointF direction = length > 0 ? (first.p2() - first.p1()) / length : QPointF(1, 0);
        starts.append({first.p1(), direction, length, cutOrderColour(i, paths.size())});
    }
    return starts;
}

void drawPathStarts(QPainter &painter, const QVector<PathStart> &starts, double scale)
{
    // One pen change per colour: the ramp's steps keep neighbouring starts alike.
    const double reach = kArrowTipAt / scale;
    const QRectF box = reachableBox(painter).adjusted(-reach, -reach, reach, reach);
    QVector<QPointF> dots;
    QVector<QLineF> arrows;
    for (int i = 0; i < starts.size();) {
        const QColor colour = starts.at(i).colour;
        dots.clear();
        arrows.clear();
        for (; i < starts.size() && starts.at(i).colour == colour; ++i) {
            const PathStart &s = starts.at(i);
            if (!box.contains(s.at))
                continue;
            dots.append(s.at);
            const QPointF tip = s.at + s.direction * qMin(s.length, reach);
            const QPointF back = s.direction * (kArrowLength / scale);
            const QPointF side(-back.y() / 2, back.x() / 2);
            arrows << QLineF(tip, tip - back + side) << QLineF(tip, tip - back - side);
        }
        painter.setPen(QPen(colour, kDotWidth / scale, Qt::SolidLine, Qt::RoundCap));
        painter.drawPoints(dots);
        painter.setPen(QPen(colour, kArrowWidth / scale, Qt::SolidLine, Qt::RoundCap));
        painter.drawLines(arrows);
    }
}

void drawPenRuns(QPainter &painter, const QVector<PenRun> &runs, double scale)
{
    // Each line of a drawLines call is stroked on its own (dashes restart,
    // caps overlap as with separate calls), so one call per run changes
    // nothing on screen; keeping the runs in list order keeps which colour
    // lies on top where paths cross. Lines that cannot reach the device are
    // left out so a zoomed-in view does not stroke the whole file.
    const QRectF box = reachableBox(painter);
    QVector<QLine> visible;
    for (const PenRun &run : runs) {
        visible.clear();
        for (const QLine &line : run.lines)
            if (!outside(line, box))
                visible.append(line);
        painter.setPen(runPen(run.colour, run.dashed, scale));
        painter.drawLines(visible);
    }
}

void drawPlotPaths(QPainter &painter, const PlotPathList &paths, double scale)
{
    drawPenRuns(painter, penRuns(paths), scale);
}

LineView::LineView(QWidget *parent)
    : QWidget(parent)
    , bed(QStringLiteral(":/png/flat.png"))
{
}

void LineView::paintBed(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QBrush(Qt::white));
    painter.drawRect(rect());

    painter.scale(scale, scale);
    painter.translate(QPointF(offsetX, offsetY));
    painter.drawPixmap(bedRect, bed, QRectF(bed.rect()));
}

void LineView::paintDesign(QPainter &painter)
{
    drawPenRuns(painter, runs, scale);
    drawPathStarts(painter, starts, scale);
}

void LineView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintBed(painter);

    // drawnPaths holds a reference to the list the runs came from, so any
    // change made through `paths` since (a new list, or an edit, which
    // detaches) shows as a different array.
    if (drawnPaths.constBegin() != paths.constBegin() || drawnPaths.size() != paths.size()
        || drawnCutOrder != cutOrder) {
        drawnPaths = paths;
        drawnCutOrder = cutOrder;
        runs = cutOrder ? cutOrderRuns(paths) : penRuns(paths);
        starts = cutOrder ? pathStarts(paths) : QVector<PathStart>();
    }
    paintDesign(painter);
    for (const QPointF &offset : qAsConst(placeOffsets)) {
        painter.save();
        painter.translate(offset.x(), -offset.y());
        paintDesign(painter);
        painter.restore();
    }
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
