// The plot file field: which drags it takes and what a drop leaves in it.
#include "mylineedit.h"

#include <QMimeData>
#include <QtTest>

class TestMyLineEdit : public QObject
{
    Q_OBJECT
private slots:
    void dragAndDrop_data();
    void dragAndDrop();
};

void TestMyLineEdit::dragAndDrop_data()
{
    QTest::addColumn<QStringList>("urls"); // local paths, or URLs with a scheme
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("text");     // after the drop
    const QString kept = QStringLiteral("/old/kept.plt");
    QTest::newRow("plot file") << QStringList{"/jobs/box.plt"} << true << "/jobs/box.plt";
    QTest::newRow("upper case") << QStringList{"/jobs/BOX.PLT"} << false << kept;
    QTest::newRow("backup") << QStringList{"/jobs/box.plt.bak"} << true << "/jobs/box.plt.bak";
    QTest::newRow("in a folder") << QStringList{"/old.plt/notes.txt"} << true << "/old.plt/notes.txt";
    QTest::newRow("first of two") << QStringList{"/a.plt", "/b.plt"} << true << "/a.plt";
    QTest::newRow("first no plot") << QStringList{"/a.svg", "/b.plt"} << false << kept;
    QTest::newRow("remote") << QStringList{"https://example.org/box.plt"} << false << kept;
    QTest::newRow("plain text only") << QStringList() << false << kept;
}

void TestMyLineEdit::dragAndDrop()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, accepted);
    QFETCH(QString, text);
    MyLineEdit edit;
    edit.setText(QStringLiteral("/old/kept.plt"));
    edit.setCursorPosition(3);

    QMimeData mime;
    QList<QUrl> list;
    for (const QString &u : urls)
        list << (u.startsWith('/') ? QUrl::fromLocalFile(u) : QUrl(u));
    mime.setUrls(list);
    mime.setText(QStringLiteral("/dropped/as/text.plt"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&edit, &enter);
    QCOMPARE(enter.isAccepted(), accepted);

    // Only an accepted drag drops here; the path replaces the whole text
    // (QLineEdit's own drop would insert the plain text at the cursor).
    if (accepted) {
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &drop);
    }
    QCOMPARE(edit.text(), text);
}

QTEST_MAIN(TestMyLineEdit)
#include "tst_mylineedit.moc"
