#pragma once
#include "jobhost.h"

#include <QPointF>
#include <QSize>
#include <QVector>

// Where a matrix job cuts the design, one place per sheet in the order the
// sheets come (then round again): offsets from the start origin, the first
// place, in plotter units, x along the first axis and y along the second.
// `design` is the MD size (height c along the first axis, width d along the
// second, as parseMdSize gives it, transposed for a turned design); the gaps
// are the form's, in millimetres.
//   One:  (0, 0)
//   Two:  (0, 0), (c + gapFirst, 0)
//   Four: (0, 0), (0, d + gapSecond), (c + gapFirst, d + gapSecond), (c + gapFirst, 0)
// None gives no place at all.
QVector<QPointF> matrixPlaces(MatrixLayout layout, QSize design, double gapFirstMm, double gapSecondMm);
