#pragma once
#include <QLineEdit>

class QMimeData;

// The local path of a plot file dragged from the file manager, or empty when
// the drag holds none. It is the local path of the first URL when that path
// contains ".plt" right after a name part (case-sensitive, anywhere in the
// path, so "box.plt.bak" counts and "BOX.PLT" does not). Further URLs are
// ignored.
QString droppedPlotFile(const QMimeData &mime);

// The plot file field: a line edit that takes a plot file dragged from the
// file manager (droppedPlotFile); a drop replaces the whole text with its
// path. Everything else is QLineEdit's.
class MyLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit MyLineEdit(QWidget *parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
