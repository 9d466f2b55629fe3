#pragma once
// The lines preview drawn the plain way, one setPen per path and one
// drawLine per segment: the reference the batched drawing must match pixel
// for pixel, and the "before" of the paint benchmark.
#include "lineview.h"

#include <QPainter>

inline void drawPlotPathsSegmentBySegment(QPainter &painter, const PlotPathList &paths, double scale)
{
    for (const PlotPath &path : paths) {
        painter.setPen(plotPathPen(path, scale));
        for (const QLineF &segment : path.segments) {
            const QLine line = segment.toLine();
            painter.drawLine(line.x1(), -line.y1(), line.x2(), -line.y2());
        }
    }
}
