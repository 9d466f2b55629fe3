#include "cutterprotocol.h"

#include <QtTest>

using namespace CutterProtocol;

class TestCutterProtocol : public QObject
{
    Q_OBJECT
private slots:
    void position_data();
    void position();
    void mark_data();
    void mark();
    void commandTexts();
};

void TestCutterProtocol::position_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("negative y") << "1200,-35;" << 1200 << -35;
    QTest::newRow("origin") << "0,0;" << 0 << 0;
    QTest::newRow("no semicolon") << "7,8" << 7 << 8;
    QTest::newRow("semicolons inside y") << "5,1;2;" << 5 << 12;
    QTest::newRow("no comma") << "1200;" << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
}

void TestCutterProtocol::position()
{
    QFETCH(QString, reply);
    QFETCH(int, x);
    QFETCH(int, y);
    const Position p = parsePosition(reply);
    QCOMPARE(p.x, x);
    QCOMPARE(p.y, y);
}

void TestCutterProtocol::mark_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("c");
    QTest::newRow("labelled") << "X=12.5,Y=-3.25,D=0.8;" << 3 << 12.5 << -3.25 << 0.8;
    QTest::newRow("plain") << "12.5,-3.25,0.8;" << 3 << 12.5 << -3.25 << 0.8;
    QTest::newRow("one separator") << "12.5,3;" << 1 << 12.5 << 0.0 << 0.0;
    QTest::newRow("third not closed") << "1,2,3" << 2 << 1.0 << 2.0 << 0.0;
    QTest::newRow("text after close ignored") << "1,2,3;4,5;" << 3 << 1.0 << 2.0 << 3.0;
    QTest::newRow("no mark") << "NOMARK;" << 0 << 0.0 << 0.0 << 0.0;
}

void TestCutterProtocol::mark()
{
    QFETCH(QString, reply);
    QFETCH(int, count);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, c);
    const MarkReading m = parseMark(reply);
    QCOMPARE(m.count, count);
    QCOMPARE(m.values[0], a);
    QCOMPARE(m.values[1], b);
    QCOMPARE(m.values[2], c);
}

void TestCutterProtocol::commandTexts()
{
    // SSID and pass phrase travel exactly as typed, nothing escaped.
    QCOMPARE(cameraSetupCmd(QStringLiteral("cam,1"), QStringLiteral("p;w d")), QStringLiteral("CMD:107,cam,1,p;w d;"));
    QCOMPARE(calibrationResultCmd(0.1234567, -2), QStringLiteral("CMD:201,0.123457,-2;"));
    QCOMPARE(moveSheetCmd(-12), QStringLiteral("CMD:105,-12;"));
    QCOMPARE(knifeMove(1200, -35), QStringLiteral("SP2;PU1200,-35;"));
}

QTEST_GUILESS_MAIN(TestCutterProtocol)
#include "tst_cutterprotocol.moc"
