#pragma once
#include <QPen>
#include <QString>

class QPainter;
class QWidget;

// Shared steps of the two route illustrations (CutView, KnifeView).

// Round caps and round joins, as every line of the illustrations has.
QPen illustrationPen(const QColor &colour, qreal width, Qt::PenStyle style = Qt::SolidLine);

// Opens the widget's painter state: antialiasing on, the whole widget filled
// with `background` and framed by the default pen.
void fillIllustration(QPainter &painter, const QWidget &widget, const QColor &background);

// The caption in dark blue, centred in the bottom 15 pixels of the widget.
void drawCaption(QPainter &painter, const QWidget &widget, const QString &caption);
