#include "sheet.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

class TestSheet : public QObject
{
    Q_OBJECT
private slots:
    void modeTable_data();
    void modeTable();
    void stream_data();
    void stream();
    void noSheet_data();
    void noSheet();
    void orderingFollowsTheMode();
    void leadingRunMatchesPattern();
    void hugeCoordinates();
    void refusesOversizedText();
};

void TestSheet::modeTable_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<int>("digit");
    QTest::addColumn<bool>("sendHeader");
    QTest::addColumn<bool>("forceQr");
    QTest::addColumn<bool>("order");
    QTest::newRow("0 usb") << 0 << true << 3 << false << false << true;
    QTest::newRow("0 net") << 0 << false << 3 << false << false << false;
    QTest::newRow("1 usb") << 1 << true << 3 << false << false << false;
    QTest::newRow("1 net") << 1 << false << 3 << false << false << true;
    QTest::newRow("2 usb") << 2 << true << 4 << true << false << true;
    QTest::newRow("3 usb") << 3 << true << 4 << true << false << false;
    QTest::newRow("3 net") << 3 << false << 4 << true << false << true;
    QTest::newRow("5 net") << 5 << false << 5 << true << true << true;
    QTest::newRow("7 af blank") << 7 << true << 3 << false << false << true;
    QTest::newRow("9 af mark") << 9 << true << 4 << true << false << true;
    QTest::newRow("10 af qr") << 10 << true << 5 << true << true << true;
}

void TestSheet::modeTable()
{
    QFETCH(int, mode);
    QFETCH(bool, usb);
    const SheetModeRow row = sheetModeRow(mode, usb ? SheetLink::Usb : SheetLink::Network);
    QTEST(row.headerDigit, "digit");
    QTEST(row.sendHeader, "sendHeader");
    QTEST(row.forceQrDigit, "forceQr");
    QTEST(row.orderInnerFirst, "order");
}

static const char *kSmall = "MD0,0,4000,3000,4;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;";

void TestSheet::stream_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<int>("creasePasses");
    QTest::addColumn<int>("cutPasses");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("job");
    const QString body = "IN;PA;SP1;PU0,0;PD100,0;PU;SP2;PU0,0;PD0,100;PU;!PG;";
    QTest::newRow("blank: no header") << kSmall << 0 << false << 1 << 1
                                      << "MD0,0,4000,3000,4;" << body;
    QTest::newRow("mark: header as read") << kSmall << 2 << false << 1 << 1
                                          << "MD0,0,4000,3000,4;" << "MD0,0,4000,3000,4;" + body;
    QTest::newRow("mark: all leading MD instructions")
        << "MD0,0,4000,3000,4;MD1,1,1,1,1;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;" << 2 << false
        << 1 << 1 << "MD0,0,4000,3000,4;MD1,1,1,1,1;" << "MD0,0,4000,3000,4;MD1,1,1,1,1;" + body;
    QTest::newRow("mark rotated: extents exchanged") << kSmall << 2 << true << 1 << 1
        << "MD0,0,3000,4000,4;"
        << "MD0,0,3000,4000,4;IN;PA;SP1;PU0,4000;PD0,3900;PU;SP2;PU0,4000;PD100,4000;PU;!PG;";
    QTest::newRow("qr: digit forced to 4")
        << "MD0,0,4000,3000,5;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;" << 4 << false << 1 << 1
        << "MD0,0,4000,3000,5;" << "MD0,0,4000,3000,4;" + body;
    QTest::newRow("qr rotated: rebuilt with 5, sent with 4") << kSmall << 5 << true << 1 << 1
        << "MD0,0,3000,4000,5;"
        << "MD0,0,3000,4000,4;IN;PA;SP1;PU0,4000;PD0,3900;PU;SP2;PU0,4000;PD100,4000;PU;!PG;";
    QTest::newRow("repeats: one end mark") << kSmall << 0 << false << 2 << 2
        << "MD0,0,4000,3000,4;"
        << "IN;PA;SP1;PU0,0;PD100,0;PU;IN;PA;SP1;PU0,0;PD100,0;PU;"
           "SP2;PU0,0;PD0,100;PU;SP2;PU0,0;PD0,100;PU;!PG;";
    QTest::newRow("no passes") << kSmall << 2 << false << 0 << 0 << "MD0,0,4000,3000,4;"
                               << "MD0,0,4000,3000,4;!PG;";
}

void TestSheet::stream()
{
    QFETCH(QString, text);
    QFETCH(int, mode);
    QFETCH(bool, rotate);
    SheetOptions options = sheetOptionsFor(mode, SheetLink::Usb);
    options.rotate = rotate;
    QFETCH(int, creasePasses);
    QFETCH(int, cutPasses);
    options.creasePasses = creasePasses;
    options.cutPasses = cutPasses;
    const PreparedSheet sheet = prepareSheet(text, options);
    QVERIFY(sheet.ok);
    QTEST(sheet.header, "header");
    QTEST(sheet.jobText, "job");
}

void TestSheet::noSheet_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("starts with IN") << "IN;MD0,0,1,1,3;SP1;PU0,0;PD10,0;";
    QTest::newRow("MD broken by a line feed") << "MD0,0\n,1,1,3;SP1;PU0,0;PD10,0;";
    QTest::newRow("leading space") << " MD0,0,1,1,3;SP1;PU0,0;PD10,0;";
}

void TestSheet::noSheet()
{
    QFETCH(QString, text);
    for (int mode = 0; mode < 12; ++mode) {
        const PreparedSheet sheet = prepareSheet(text, sheetOptionsFor(mode, SheetLink::Usb));
        QVERIFY(!sheet.ok);
        QVERIFY(sheet.jobText.isEmpty());
    }
}

void TestSheet::orderingFollowsTheMode()
{
    const QString text = "MD0,0,1000,1000,3;SP2;PU0,0;PD1000,0,1000,1000,0,1000,0,0;"
                         "PU100,100;PD200,100,200,200,100,200,100,100;!PG;";
    const QString outerFirst = "SP2;PU0,0;PD1000,0,1000,1000,0,1000,0,0;"
                               "PU100,100;PD200,100,200,200,100,200,100,100;PU;!PG;";
    const QString innerFirst = "SP2;PU100,100;PD200,100,200,200,100,200,100,100;"
                               "PU0,0;PD1000,0,1000,1000,0,1000,0,0;PU;!PG;";
    const QString crease = "IN;PA;SP1;PU;";
    QCOMPARE(prepareSheet(text, sheetOptionsFor(0, SheetLink::Usb)).jobText, crease + innerFirst);
    QCOMPARE(prepareSheet(text, sheetOptionsFor(0, SheetLink::Network)).jobText, crease + outerFirst);
    QCOMPARE(prepareSheet(text, sheetOptionsFor(1, SheetLink::Usb)).jobText, crease + outerFirst);
}

// leadingMdRun stands for the anchored pattern (MD.*?;)*.
void TestSheet::leadingRunMatchesPattern()
{
    const QRegularExpression pattern(QStringLiteral("(MD.*?;)*"));
    QRandomGenerator rng(5);
    const QStringList pieces = {"MD", ";", "\n", "0,", "M", "D", "x"};
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int len = rng.bounded(10);
        for (int k = 0; k < len; ++k)
            text += pieces.at(rng.bounded(pieces.size()));
        const QRegularExpressionMatch m =
            pattern.match(text, 0, QRegularExpression::NormalMatch,
                          QRegularExpression::AnchoredMatchOption);
        QCOMPARE(leadingMdRun(text), m.captured(0));
    }
}

// Coordinates at the ends of the int range, rotated and offset, leave it;
// they must still be written exactly, never wrapped or as garbage.
void TestSheet::hugeCoordinates()
{
    const QString text = "MD0,0,2147483647,2147483647,4;SP1;PU-2147483648,-2147483648;"
                         "PD2147483647,-2147483648;SP2;PU0,0;PD10,0;!PG;";
    SheetOptions options = sheetOptionsFor(2, SheetLink::Usb);
    options.rotate = true;
    options.knifeOffset = 60;
    options.closeOffset = 200;
    const PreparedSheet sheet = prepareSheet(text, options);
    QVERIFY(sheet.ok);
    // (x, y) -> (y, c - x) with c = 2147483647.
    QVERIFY2(sheet.jobText.contains("SP1;PU-2147483648,4294967295;PD-2147483648,0;"),
             qPrintable(sheet.jobText));
    QVERIFY2(sheet.jobText.contains("SP2;PU0,2147483587;PD0,2147483577;"),
             qPrintable(sheet.jobText));
}

// A pass count that would make the text pass what a QString holds gives no
// sheet instead of a failed allocation.
void TestSheet::refusesOversizedText()
{
    SheetOptions options = sheetOptionsFor(2, SheetLink::Usb);
    options.cutPasses = 100000000;
    const PreparedSheet sheet = prepareSheet(kSmall, options);
    QVERIFY(!sheet.ok);
    QVERIFY(sheet.tooLarge);
    QVERIFY(sheet.jobText.isEmpty());
    options.cutPasses = 1000;
    QVERIFY(prepareSheet(kSmall, options).ok);
}

QTEST_GUILESS_MAIN(TestSheet)
#include "tst_sheet.moc"
