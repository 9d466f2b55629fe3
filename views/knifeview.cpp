#include "knifeview.h"
#include "illustration.h"

#include <QPainter>

KnifeView::KnifeView(QWidget *parent)
    : QWidget(parent)
{
}

void KnifeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillIllustration(painter, *this, Qt::gray);

    // The material: a white strip whose top edge is two thirds down.
    painter.setBrush(QBrush(Qt::white));
    painter.setPen(illustrationPen(Qt::white, 0));
    painter.drawRect(QRectF(2, 2 * height() / 3 - 10, width() - 4, 10));

    if (knifeOffsetOn)
        drawKnife(painter);
    else
        drawPen(painter);
}

void KnifeView::drawKnife(QPainter &painter)
{
    // Fractions of the widget size are integer divisions.
    const int w = width();
    const int h = height();
    const double r = knifeOffsetMm * (w / 4);
    const double middle = w / 2;
    const double third = h / 3;
    const double twoThirds = 2 * h / 3;

    painter.setPen(illustrationPen(Qt::black, 1));
    painter.drawLine(QLineF(middle - r, 0, middle - r, third));     // holder, left edge
    painter.drawLine(QLineF(middle + r, 0, middle + r, twoThirds)); // holder, right edge
    painter.drawLine(QLineF(middle - r, third, middle + r, twoThirds)); // blade edge

    painter.setPen(illustrationPen(Qt::red, 0.5, Qt::DashLine));
    painter.drawLine(QLineF(middle, third, middle, twoThirds)); // tool axis
    const double tipX = middle + 60 * r / h;
    painter.drawLine(QLineF(tipX, third, tipX, twoThirds));

    // The cutter's own word for the tool: shown the same in every language.
    drawCaption(painter, *this, QStringLiteral("Knife Nose"));
}

void KnifeView::drawPen(QPainter &painter)
{
    const int w = width();
    const int h = height();
    const double left = w / 3;
    const double right = 2 * w / 3;
    const double third = h / 3;
    const QPointF tip(w / 2, 2 * h / 3 - 10); // touches the top of the material

    painter.setPen(illustrationPen(Qt::black, 1));
    painter.drawLine(QLineF(left, 0, left, third));
    painter.drawLine(QLineF(right, 0, right, third));
    painter.drawLine(QLineF(QPointF(left, third), tip));
    painter.drawLine(QLineF(QPointF(right, third), tip));
    drawCaption(painter, *this, tr("Pen Nose"));
}
