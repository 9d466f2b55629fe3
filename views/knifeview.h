#pragma once
#include <QWidget>

// Side view of the tool over the material: a drag knife with its offset when
// knife offset is on ("Knife Nose"), otherwise a pen ("Pen Nose"). Lengths
// are millimetres as shown in the form; one millimetre is a quarter of the
// widget's width.
class KnifeView : public QWidget
{
    Q_OBJECT
public:
    explicit KnifeView(QWidget *parent = nullptr);

    bool knifeOffsetOn = false;
    double knifeOffsetMm = 0.3;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawKnife(QPainter &painter);
    void drawPen(QPainter &painter);
};
