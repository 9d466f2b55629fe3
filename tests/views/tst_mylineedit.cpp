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
    QTest::addColumn<QString>("plainText");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("textAfterDrop");
    const QString before = QStringLiteral("/old/kept.plt");
    QTest::newRow("plot file") << QStringList{"/home/op/jobs/box.plt"} << QString() << true
                               << "/home/op/jobs/box.plt";
    QTest::newRow("upper case refused") << QStringList{"/home/op/jobs/BOX.PLT"} << QString() << false
                                        << before;
    QTest::newRow("backup of a plot file") << QStringList{"/home/op/jobs/box.plt.bak"} << QString()
                                           << true << "/home/op/jobs/box.plt.bak";
    QTest::newRow(".plt in a folder name") << QStringList{"/home/op/old.plt/notes.txt"} << QString()
                                           << true << "/home/op/old.plt/notes.txt";
    QTest::newRow("several: the first counts")
        << QStringList{"/home/op/a.plt", "/home/op/b.plt"} << QString() << true << "/home/op/a.plt";
    QTest::newRow("several: first is no plot file")
        << QStringList{"/home/op/a.svg", "/home/op/b.plt"} << QString() << false << before;
    QTest::newRow("plain text only") << QStringList{} << "/home/op/jobs/box.plt" << false << before;
    QTest::newRow("remote file") << QStringList{"https://example.org/box.plt"} << QString() << false
                                 << before;
}

void TestMyLineEdit::dragAndDrop()
{
    QFETCH(QStringList, urls);
    QFETCH(QString, plainText);
    QFETCH(bool, accepted);
    QFETCH(QString, textAfterDrop);

    MyLineEdit edit;
    edit.setText(QStringLiteral("/old/kept.plt"));
    edit.setCursorPosition(3);
    QVERIFY(edit.acceptDrops()); // QLineEdit's default, left alone

    QMimeData mime;
    QList<QUrl> list;
    for (const QString &u : urls)
        list.append(u.startsWith('/') ? QUrl::fromLocalFile(u) : QUrl(u));
    if (!list.isEmpty())
        mime.setUrls(list);
    if (!plainText.isNull())
        mime.setText(plainText);

    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&edit, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    if (accepted)
        QCOMPARE(enter.dropAction(), enter.proposedAction());

    // A refused drag never drops in practice; a drop without URLs must
    // still leave the field alone rather than insert text at the cursor.
    if (accepted || list.isEmpty()) {
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &drop);
    }
    QCOMPARE(edit.text(), textAfterDrop);
}

QTEST_MAIN(TestMyLineEdit)
#include "tst_mylineedit.moc"
