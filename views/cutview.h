#pragma once
#include <QWidget>

// "Route Sample": the route a square takes with the current knife offset and
// close offset. The main window copies the form's values into the members;
// lengths are millimetres as shown in the form. The square spans the middle
// three fifths of the widget and one millimetre is a tenth of its width.
class CutView : public QWidget
{
    Q_OBJECT
public:
    explicit CutView(QWidget *parent = nullptr);

    bool knifeOffsetOn = false;
    double knifeOffsetMm = 0.3;
    bool closeOffsetOn = false;
    double closeOffsetMm = 0.5;

protected:
    void paintEvent(QPaintEvent *event) override;
};
