#pragma once
// Readable forms of path lists for test comparisons.
#include "pltsolve.h"

#include <QStringList>

// "pen/lineType/patternLength/lineTypeMode: x1,y1>x2,y2 ..." per path, joined by " | ".
inline QString describe(const PlotPathList &paths)
{
    QStringList parts;
    for (const PlotPath &p : paths) {
        QStringList segs;
        for (const QLineF &s : p.segments)
            segs << QStringLiteral("%1,%2>%3,%4").arg(s.x1()).arg(s.y1()).arg(s.x2()).arg(s.y2());
        parts << QStringLiteral("%1/%2/%3/%4: %5")
                     .arg(p.pen).arg(p.lineType).arg(p.patternLength).arg(p.lineTypeMode)
                     .arg(segs.join(QLatin1Char(' ')));
    }
    return parts.join(QStringLiteral(" | "));
}

// A path through the given points (x0, y0, x1, y1, ...).
inline PlotPath polyline(std::initializer_list<double> xy, int pen = 2)
{
    PlotPath path;
    path.pen = pen;
    const std::vector<double> v(xy);
    for (size_t i = 2; i + 1 < v.size(); i += 2)
        path.segments << QLineF(v[i - 2], v[i - 1], v[i], v[i + 1]);
    return path;
}

inline PlotPath rectangle(double x, double y, double w, double h, int pen = 2)
{
    return polyline({x, y, x + w, y, x + w, y + h, x, y + h, x, y}, pen);
}
