#pragma once
#include <QLineEdit>

// The plot file field: a line edit that takes a dropped .plt file's path.
class MyLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit MyLineEdit(QWidget *parent = nullptr);
};
