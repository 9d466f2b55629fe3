#pragma once
#include "pltsolve.h"

#include <QColor>
#include <QLine>
#include <QPointF>
#include <QPixmap>
#include <QVector>
#include <QWidget>

class QPainter;

// The segments of consecutive paths that are drawn with one pen, rounded to
// integer plotter units with y negated (painter coordinates).
struct PenRun
{
    QColor colour = Qt::black; // pen 2 blue, pen 3 red, any other pen black (cutOrderRuns: the ramp's)
    bool dashed = false;       // lineType is not 0
    QVector<QLine> lines;
};

// The runs of a path list in list order (each segment rounded as
// QLineF::toLine does, clamped to the int range).
QVector<PenRun> penRuns(const PlotPathList &paths);

// The cut-order view's colour of the path at `index` of `count`: a hue ramp
// from blue (the first path) through magenta to red (the last), in at most
// 256 steps, so that neighbouring paths share a pen.
QColor cutOrderColour(int index, int count);
// penRuns coloured by cutOrderColour instead of by pen.
QVector<PenRun> cutOrderRuns(const PlotPathList &paths);

// Where a path begins and which way it sets out, in painter coordinates
// (its first segment as drawn), and its colour in the cut-order view.
struct PathStart
{
    QPointF at;
    QPointF direction; // unit vector
    double length;     // of the first segment
    QColor colour;
};
QVector<PathStart> pathStarts(const PlotPathList &paths);
// A dot at each start and an arrowhead on the first segment, at most 14
// screen pixels on, pointing the way the tool goes; sized in screen pixels
// whatever the zoom. Starts that cannot reach the device are left out.
void drawPathStarts(QPainter &painter, const QVector<PathStart> &starts, double scale);

// Draws the runs with a painter already scaled by `scale` and translated to
// the view's offset: one screen pixel wide, square caps, bevel joins; one
// drawLines call per run, leaving out lines that cannot reach the painter's
// device. The pixels are those of one drawLine per segment in list order.
void drawPenRuns(QPainter &painter, const QVector<PenRun> &runs, double scale);
void drawPlotPaths(QPainter &painter, const PlotPathList &paths, double scale);

// The pen a path is drawn with at the given scale.
QPen plotPathPen(const PlotPath &path, double scale);

// Preview of the current plot paths over a picture of the flat bed.
// A plot point (x, y), in plotter units (40 per mm), is drawn at the widget
// pixel ((x + offsetX) * scale, (-y + offsetY) * scale): plotter y points up.
// Two switches, both off by default: `cutOrder` draws the paths in list
// order in the cut-order colours with their starts (drawPathStarts) over them
// instead of by pen; `placeOffsets` draws the whole design again at each
// offset (the further places of a matrix job).
// The wheel zooms about the cursor (never below the starting scale), a drag
// with the left button pans, a resize restores the pan but keeps the zoom.
// Every handler repaints at once.
class LineView : public QWidget
{
    Q_OBJECT
public:
    explicit LineView(QWidget *parent = nullptr);

    PlotPathList paths;   // drawn in list order; the main window assigns it, then repaints
    double scale = 0.01;  // screen pixels per plotter unit (one pixel = 2.5 mm)
    int homeX = 6000;     // offset a resize restores, plotter units
    int homeY = 8000;     // origin's distance above the bottom edge after a resize, plotter units
    int anchorX = 6000;   // offset when the current drag began
    int anchorY = 8000;
    int offsetX = 6000;   // translation applied after scaling, plotter units
    int offsetY = 8000;
    int pressX = 0;       // widget pixel of the last left-button press
    int pressY = 0;
    bool zoomEnabled = true; // false while the left button is held
    bool cutOrder = false;
    QVector<QPointF> placeOffsets; // plotter units, x and y as in the plot file

protected:
    // White background and the bed picture, with the painter left in plot
    // units (scaled and translated) for the paths drawn over them.
    void paintBed(QPainter &painter);
    // The paths over the bed at the painter's place, as the switches say.
    void paintDesign(QPainter &painter);
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap bed;             // ":/png/flat.png", decoded once
    PlotPathList drawnPaths; // shares the list the runs were made from
    bool drawnCutOrder = false;
    QVector<PenRun> runs;      // paths as drawn, rebuilt when `paths` or `cutOrder` changes
    QVector<PathStart> starts; // with cutOrder
};
