#include "knifeview.h"

KnifeView::KnifeView(QWidget *parent)
    : QWidget(parent)
{
}
