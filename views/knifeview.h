#pragma once
#include <QWidget>

// Side view of the tool: a drag knife with its offset when knife offset is on,
// otherwise a pen. Lengths are millimetres as shown in the form.
class KnifeView : public QWidget
{
    Q_OBJECT
public:
    explicit KnifeView(QWidget *parent = nullptr);

    bool knifeOffsetOn = false;
    double knifeOffsetMm = 0.3;
};
