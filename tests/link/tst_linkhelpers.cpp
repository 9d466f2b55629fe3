// The link's text helpers: the address check and the parsing of the
// cutter's position and mark replies. delayMs is exercised by every job test.
#include "cutterprotocol.h"
#include "linkhelpers.h"

#include <QtTest>

using namespace CutterProtocol;

class TestLinkHelpers : public QObject
{
    Q_OBJECT
private slots:
    void validIp();
    void logLabels();
    void parsesReplies();
};

void TestLinkHelpers::validIp()
{
    for (const char *valid : {"192.168.0.100", "255.255.255.255", "010.001.000.099"})
        QVERIFY2(isValidIp(valid), valid);
    for (const char *invalid : {"192.168.0.256", "1.2.3.4.5", "1..3.4", "1.2.3.4\n", "1.2.3.0004",
                                "cutter.local", ""})
        QVERIFY2(!isValidIp(invalid), invalid);
}

// Coloured for a terminal, then back to the terminal's own colour (not black,
// which vanishes on a dark background); plain when the log is not a terminal.
void TestLinkHelpers::logLabels()
{
    QCOMPARE(logLabel("Send:", 31, true), QByteArray("\x1b[31mSend:\x1b[0m"));
    QCOMPARE(logLabel("Recv:", 34, false), QByteArray("Recv:"));
    QCOMPARE(logLabel("Recv:", 34), QByteArray("Recv:")); // ctest's output is no terminal
}

void TestLinkHelpers::parsesReplies()
{
    const struct { const char *reply; int x, y; } positions[] = {
        {"1200,-35;", 1200, -35}, {"7,8", 7, 8}, {"5,1;2;", 5, 12}, {"1200;", 0, 0}, {"", 0, 0}};
    for (const auto &p : positions) {
        const Position got = parsePosition(p.reply);
        QVERIFY2(got.x == p.x && got.y == p.y, p.reply);
    }
    const struct { const char *reply; int count; double a, b, c; } marks[] = {
        {"X=12.5,Y=-3.25,D=0.8;", 3, 12.5, -3.25, 0.8}, {"12.5,3;", 1, 12.5, 0, 0},
        {"1,2,3", 2, 1, 2, 0}, {"1,2,3;4,5;", 3, 1, 2, 3}, {"NOMARK;", 0, 0, 0, 0}};
    for (const auto &m : marks) {
        const MarkReading got = parseMark(m.reply);
        QVERIFY2(got.count == m.count && got.values[0] == m.a && got.values[1] == m.b
                     && got.values[2] == m.c,
                 m.reply);
    }
}

QTEST_GUILESS_MAIN(TestLinkHelpers)
#include "tst_linkhelpers.moc"
