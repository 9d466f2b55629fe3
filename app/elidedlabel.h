#pragma once
#include <QLabel>

// A one-line label that never asks for the width of its whole text: a text
// longer than the room it has is drawn cut with an ellipsis, and its tooltip
// shows it whole (before the label's own tooltip, if it has one). So a long
// state or mode text cannot push the window wider.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override;
    // The text does not fit the label's width as it is now.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QString shownText() const;
};
