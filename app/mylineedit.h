#pragma once
#include <QLineEdit>

// The plot file field: a line edit that takes a plot file dragged from the
// file manager. A drag is accepted when the local path of its first URL
// contains ".plt" after the last '/' (case-sensitive, anywhere in the name,
// so "box.plt.bak" counts and "BOX.PLT" does not); a drop replaces the whole
// text with that path. Further URLs are ignored. Everything else is
// QLineEdit's.
class MyLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit MyLineEdit(QWidget *parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
