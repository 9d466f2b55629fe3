#include "elidedlabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QToolTip>

void ElidedLabel::setLines(int lines)
{
    m_lines = std::max(1, lines);
    updateGeometry();
    update();
}

int ElidedLabel::linesHeight() const
{
    return m_lines * fontMetrics().lineSpacing() + contentsMargins().top() + contentsMargins().bottom();
}

QSize ElidedLabel::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("Xx…")) + contentsMargins().left()
                  + contentsMargins().right());
    size.setHeight(std::max(size.height(), linesHeight()));
    return size;
}

QSize ElidedLabel::sizeHint() const
{
    QSize size = QLabel::sizeHint();
    size.setHeight(std::max(size.height(), linesHeight()));
    return size;
}

QStringList ElidedLabel::shownLines(bool *elided) const
{
    const QFontMetrics metrics = fontMetrics();
    const int width = contentsRect().width();
    QStringList shown;
    QString rest = text();
    while (shown.size() + 1 < m_lines && metrics.horizontalAdvance(rest) > width) {
        int cut = rest.size(); // the longest head that fits, at least one character
        while (cut > 1 && metrics.horizontalAdvance(rest.left(cut)) > width)
            --cut;
        // A bracketed part goes to the next line whole where it can, else
        // what follows a comma, else the last word.
        static const QRegularExpression opening(QStringLiteral("[(\uFF08]"));
        static const QRegularExpression comma(QStringLiteral("[,\uFF0C] ?"));
        const QString head = rest.left(cut + 1);
        const int bracket = int(head.lastIndexOf(opening));
        QRegularExpressionMatch afterComma;
        const int commaAt = int(head.lastIndexOf(comma, -1, &afterComma));
        const int space = int(rest.lastIndexOf(QLatin1Char(' '), cut));
        if (bracket > 0)
            cut = bracket;
        else if (commaAt > 0 && commaAt + afterComma.capturedLength() < rest.size())
            cut = commaAt + afterComma.capturedLength();
        else if (space > 0)
            cut = space + 1;
        shown << rest.left(cut).trimmed();
        rest = rest.mid(cut);
    }
    if (elided)
        *elided = metrics.horizontalAdvance(rest) > width;
    shown << metrics.elidedText(rest, Qt::ElideRight, width);
    return shown;
}

bool ElidedLabel::isElided() const
{
    bool elided = false;
    shownLines(&elided);
    return elided;
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QStringList shown = shownLines();
    const int lineHeight = fontMetrics().lineSpacing();
    // The lines stand together, placed in the label as its alignment says.
    QRect block = contentsRect();
    const int height = int(shown.size()) * lineHeight;
    if (alignment() & Qt::AlignVCenter)
        block.setTop(block.top() + (block.height() - height) / 2);
    else if (alignment() & Qt::AlignBottom)
        block.setTop(block.bottom() - height);
    const int horizontal = int(alignment() & Qt::AlignHorizontal_Mask);
    for (int i = 0; i < shown.size(); ++i) {
        const QRect line(block.left(), block.top() + i * lineHeight, block.width(), lineHeight);
        style()->drawItemText(&painter, line, horizontal | Qt::AlignVCenter, palette(), isEnabled(), shown.at(i),
                              foregroundRole());
    }
}

bool ElidedLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && isElided()) {
        const QString tip = toolTip().isEmpty() ? text() : text() + QLatin1Char('\n') + toolTip();
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), tip, this);
        return true;
    }
    return QLabel::event(event);
}
