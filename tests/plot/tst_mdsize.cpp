#include "mdsize.h"

#include <QtTest>

class TestMdSize : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestMdSize::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::newRow("five fields") << "MD0,0,4000,3000,3;SP1;" << QSize(3000, 4000);
    QTest::newRow("four fields") << "MD0,0,4000,3000;SP1;" << QSize(3000, 4000);
    QTest::newRow("no MD") << "IN;SP1;PU0,0;" << QSize(0, 0);
    QTest::newRow("empty") << "" << QSize(0, 0);
    QTest::newRow("first MD only") << "MD0,0,10,20,3;MD0,0,30,40,3;" << QSize(20, 10);
    QTest::newRow("M not followed by D restarts") << "MMD0,0,7,8,3;" << QSize(0, 0);
    QTest::newRow("after other text") << "IN;MD0,0,100,200,5;" << QSize(200, 100);
    QTest::newRow("non-numeric field") << "MD0,0,abc,3000,3;" << QSize(3000, 0);
    QTest::newRow("truncated") << "MD0,0,4000" << QSize(0, 4000);
}

void TestMdSize::parse()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QCOMPARE(parseMdSize(text), size);
}

QTEST_APPLESS_MAIN(TestMdSize)
#include "tst_mdsize.moc"
