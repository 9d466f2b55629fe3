#include "mylineedit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QRegExp>
#include <QUrl>

QString droppedPlotFile(const QMimeData &mime)
{
    const QRegExp plotName(QStringLiteral("([^/]*)\\.plt"), Qt::CaseSensitive, QRegExp::RegExp);
    const QList<QUrl> urls = mime.urls();
    if (urls.isEmpty())
        return {};
    const QString path = urls.first().toLocalFile();
    return path.indexOf(plotName, 0) != -1 ? path : QString();
}

MyLineEdit::MyLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void MyLineEdit::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedPlotFile(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MyLineEdit::dropEvent(QDropEvent *event)
{
    // Not QLineEdit's drop, which would insert the text at the cursor.
    const QString path = droppedPlotFile(*event->mimeData());
    if (!path.isEmpty())
        setText(path);
}
