#include "illustration.h"

#include <QPainter>
#include <QWidget>

QPen illustrationPen(const QColor &colour, qreal width, Qt::PenStyle style)
{
    return QPen(QBrush(colour), width, style, Qt::RoundCap, Qt::RoundJoin);
}

void fillIllustration(QPainter &painter, const QWidget &widget, const QColor &background)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QBrush(background));
    painter.drawRect(widget.rect());
}

void drawCaption(QPainter &painter, const QWidget &widget, const QString &caption)
{
    painter.setPen(illustrationPen(Qt::darkBlue, 1));
    painter.drawText(QRect(0, widget.height() - 15, widget.width(), 15), Qt::AlignCenter, caption);
}
