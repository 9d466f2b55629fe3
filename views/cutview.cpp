#include "cutview.h"
#include "illustration.h"

#include <QPainter>

CutView::CutView(QWidget *parent)
    : QWidget(parent)
{
}

void CutView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillIllustration(painter, *this, Qt::lightGray);

    // Corners of the sample square and pixels per millimetre; the fractions
    // are integer divisions of the widget size.
    const int w = width();
    const int h = height();
    const double a = w / 5;
    const double b = 4 * w / 5;
    const double c = h / 5;
    const double d = 4 * h / 5;
    const double u = w / 10;
    const double closeLength = closeOffsetMm * u;
    double overcutStart = a;

    painter.setPen(illustrationPen(Qt::black, 1));
    if (!knifeOffsetOn) {
        painter.drawLine(QLineF(a, c, b, c));
        painter.drawLine(QLineF(b, c, b, d));
        painter.drawLine(QLineF(b, d, a, d));
        painter.drawLine(QLineF(a, d, a, c));
    } else {
        // Each side runs r further along its direction; the knife turns
        // round every corner on a quarter arc of radius r (sixteenths of a
        // degree, clockwise on screen).
        const double r = knifeOffsetMm * u;
        const auto corner = [r](double x, double y) { return QRectF(x - r, y - r, 2 * r, 2 * r); };
        painter.drawLine(QLineF(a + r, c, b + r, c));
        painter.drawArc(corner(b, c), 0, -1440);
        painter.drawLine(QLineF(b, c + r, b, d + r));
        painter.drawArc(corner(b, d), -1440, -1440);
        painter.drawLine(QLineF(b - r, d, a - r, d));
        painter.drawArc(corner(a, d), -2880, -1440);
        painter.drawLine(QLineF(a, d - r, a, c - r));
        painter.drawArc(corner(a, c), 1440, -1440);
        overcutStart = a + r;
    }
    if (closeOffsetOn) {
        painter.setPen(illustrationPen(Qt::red, 1.5));
        painter.drawLine(QLineF(overcutStart, c, overcutStart + closeLength, c));
    }
    drawCaption(painter, *this, tr("Route Sample"));
}
