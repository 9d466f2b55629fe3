#include "linkhelpers.h"

#include <QtTest>

class TestLinkHelpers : public QObject
{
    Q_OBJECT
private slots:
    void validIp_data();
    void validIp();
    void delayZeroReturnsAtOnce();
    void delayWaitsAndHandlesEvents();
};

void TestLinkHelpers::validIp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "192.168.0.100" << true;
    QTest::newRow("zeros") << "0.0.0.0" << true;
    QTest::newRow("max") << "255.255.255.255" << true;
    QTest::newRow("leading zeros") << "010.001.000.099" << true;
    QTest::newRow("256") << "192.168.0.256" << false;
    QTest::newRow("five numbers") << "1.2.3.4.5" << false;
    QTest::newRow("three numbers") << "1.2.3" << false;
    QTest::newRow("empty part") << "1..3.4" << false;
    QTest::newRow("leading blank") << " 1.2.3.4" << false;
    QTest::newRow("trailing newline") << "1.2.3.4\n" << false;
    QTest::newRow("trailing semicolon") << "192.168.137.137;" << false;
    QTest::newRow("four digits") << "1.2.3.0004" << false;
    QTest::newRow("host name") << "cutter.local" << false;
    QTest::newRow("empty") << "" << false;
}

void TestLinkHelpers::validIp()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(isValidIp(text), valid);
}

void TestLinkHelpers::delayZeroReturnsAtOnce()
{
    QElapsedTimer t;
    t.start();
    delayMs(0);
    delayMs(-5);
    QVERIFY(t.elapsed() < 50);
}

void TestLinkHelpers::delayWaitsAndHandlesEvents()
{
    bool fired = false;
    QTimer::singleShot(100, this, [&] { fired = true; });
    QElapsedTimer t;
    t.start();
    delayMs(300);
    QVERIFY(t.elapsed() >= 300);
    QVERIFY(fired); // an event that arrived during the pause was handled
}

QTEST_GUILESS_MAIN(TestLinkHelpers)
#include "tst_linkhelpers.moc"
