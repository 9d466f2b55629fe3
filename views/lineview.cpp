#include "lineview.h"

LineView::LineView(QWidget *parent)
    : QWidget(parent)
{
}
