#include "mylineedit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QRegExp>
#include <QUrl>

MyLineEdit::MyLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void MyLineEdit::dragEnterEvent(QDragEnterEvent *event)
{
    const QRegExp plotName(QStringLiteral("([^/]*)\\.plt"), Qt::CaseSensitive, QRegExp::RegExp);
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    if (urls.first().toLocalFile().indexOf(plotName, 0) != -1)
        event->acceptProposedAction();
}

void MyLineEdit::dropEvent(QDropEvent *event)
{
    // Not QLineEdit's drop, which would insert the text at the cursor.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    setText(urls.first().toLocalFile());
}
