#pragma once
#include <QSize>
#include <QString>

// Size of a design from the first MD instruction of a plot text
// ("MD a,b,c,d[,e];"): width = d, height = c, in plotter units (40 per mm).
// c is the design's extent along the first axis and d along the second, so
// the result is (second extent, first extent). Fields that are not decimal
// integers count as 0; a text without "MD" gives (0, 0).
QSize parseMdSize(const QString &text);
