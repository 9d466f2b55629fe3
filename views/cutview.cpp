#include "cutview.h"

CutView::CutView(QWidget *parent)
    : QWidget(parent)
{
}
