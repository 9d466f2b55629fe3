#pragma once
// Readable forms of path lists for test comparisons, and paths to build them.
#include "pltsolve.h"

#include <QStringList>

// "pen/lineType/patternLength/lineTypeMode: x1,y1>x2,y2 ..." per path, joined by " | ".
inline QString describe(const PlotPathList &paths)
{
    QStringList parts;
    for (const PlotPath &p : paths) {
        QString s = QStringLiteral("%1/%2/%3/%4:").arg(p.pen).arg(p.lineType)
                        .arg(p.patternLength).arg(p.lineTypeMode);
        for (const QLineF &l : p.segments)
            s += QStringLiteral(" %1,%2>%3,%4").arg(l.x1()).arg(l.y1()).arg(l.x2()).arg(l.y2());
        parts << s;
    }
    return parts.join(QStringLiteral(" | "));
}

// A pen 2 path through the given points (x0, y0, x1, y1, ...).
inline PlotPath polyline(std::initializer_list<double> xy)
{
    PlotPath path{2, 0, 0, 0, {}};
    const std::vector<double> v(xy);
    for (size_t i = 2; i + 1 < v.size(); i += 2)
        path.segments << QLineF(v[i - 2], v[i - 1], v[i], v[i + 1]);
    return path;
}

inline PlotPath rectangle(double x, double y, double w, double h)
{
    return polyline({x, y, x + w, y, x + w, y + h, x, y + h, x, y});
}
