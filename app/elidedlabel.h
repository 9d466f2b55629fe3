#pragma once
#include <QLabel>
#include <QStringList>

// A label that never asks for the width of its whole text: a text longer
// than the room it has is wrapped over at most lines() lines (at spaces where
// it can, anywhere in a text without them) and the last is cut with an
// ellipsis; its tooltip then shows the text whole (before the label's own
// tooltip, if it has one). So a long state or mode text cannot push the
// window wider.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    // Lines the text may take (1 by default); the label is that tall.
    void setLines(int lines);
    int lines() const { return m_lines; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
    // The text does not fit the label's room as it is now.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The lines drawn; `elided` tells whether the last one was cut.
    QStringList shownLines(bool *elided = nullptr) const;
    int linesHeight() const;

    int m_lines = 1;
};
