#include "matrixplaces.h"

QVector<QPointF> matrixPlaces(MatrixLayout layout, QSize design, double gapFirstMm, double gapSecondMm)
{
    const double first = design.height() + gapFirstMm * kUnitsPerMm;
    const double second = design.width() + gapSecondMm * kUnitsPerMm;
    switch (layout) {
    case MatrixLayout::None:
        return {};
    case MatrixLayout::One:
        return {{0, 0}};
    case MatrixLayout::Two:
        return {{0, 0}, {first, 0}};
    case MatrixLayout::Four:
        return {{0, 0}, {0, second}, {first, second}, {first, 0}};
    }
    return {};
}
