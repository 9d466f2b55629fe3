#include "plottext.h"
#include "pltsolve.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class TestPltSolve : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void numbersReadLikeToInt();
    void dropDegenerate_data();
    void dropDegenerate();
    void split_data();
    void split();
    void headerMatchesPattern();
    void readFile();
    void serialize_data();
    void serialize();
    void transforms();

private:
    PltSolve solve;
};

void TestPltSolve::parse_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("paths");
    QTest::newRow("crease path") << "SP1;PU100,200;PD300,200,300,400;"
                                 << "1/0/0/0: 100,200>300,200 300,200>300,400";
    QTest::newRow("pen up away and back keeps the path")
        << "PD100,200,300,400;PU0,0;PU300,400;PD500,500;"
        << "0/0/0/0: 0,0>100,200 100,200>300,400 300,400>500,500";
    QTest::newRow("pen up elsewhere breaks the path")
        << "PD100,200,300,400;PU0,0;PD300,400;"
        << "0/0/0/0: 0,0>100,200 100,200>300,400 | 0/0/0/0: 0,0>300,400";
    QTest::newRow("zero-length first segment dropped")
        << "PU0,0;PD0,0,100,0;PU500,500;PD600,500;"
        << "0/0/0/0: 0,0>100,0 | 0/0/0/0: 500,500>600,500";
    QTest::newRow("space after comma skipped") << "PD100, 200;" << "0/0/0/0: 0,0>100,200";
    QTest::newRow("spaces inside y skipped") << "PD1 2 3 4;" << "0/0/0/0: 0,0>1,234";
    QTest::newRow("decimal point skipped") << "PD100.5,20;" << "0/0/0/0: 0,0>1005,20";
    QTest::newRow("lone x dropped at semicolon") << "PD100;PU50,60;PD70,80;"
                                                 << "0/0/0/0: 50,60>70,80";
    QTest::newRow("empty y reads 0") << "PD100,;" << "0/0/0/0: 0,0>100,0";
    QTest::newRow("pen needs its semicolon") << "SP2PD10,10;PD5,5;" << "21010/0/0/0: 0,0>5,5";
    QTest::newRow("pen takes effect at a break")
        << "SP1;PU0,0;PD10,0;SP2;PD20,0;PU50,0;PD60,0;"
        << "1/0/0/0: 0,0>10,0 10,0>20,0 | 2/0/0/0: 50,0>60,0";
    QTest::newRow("LT partial keeps the mode, LT; resets")
        << "LT2,3,4;LT1,5;PU0,0;PD10,0;LT;PU50,50;PD60,60;"
        << "0/1/5/4: 0,0>10,0 | 0/0/0/0: 50,50>60,60";
    QTest::newRow("LT separators not collapsed") << "LT3,,7;PD10,0;" << "0/3/0/7: 0,0>10,0";
    QTest::newRow("LT real pattern length") << "LT1,2.5,1;PD10,0;" << "0/1/2.5/1: 0,0>10,0";
    QTest::newRow("lower case ignored") << "pd10,10;" << "";
    QTest::newRow("unfinished point lost") << "PD10,10,20,2" << "0/0/0/0: 0,0>10,10";
    QTest::newRow("PA follows the last PD/PU") << "PD;PA10,0;PU;PA20,0;PD30,0;"
                                                << "0/0/0/0: 0,0>10,0 | 0/0/0/0: 20,0>30,0";
    QTest::newRow("negative coordinates") << "PU-5,-7;PD-10,7;" << "0/0/0/0: -5,-7>-10,7";
    QTest::newRow("out of range reads 0") << "PD99999999999,5;" << "0/0/0/0: 0,0>0,5";
    QTest::newRow("minus inside digits reads 0") << "PD1-2,3;" << "0/0/0/0: 0,0>0,3";
    QTest::newRow("other instructions skipped") << "IN;MD1,2,3;PR5,5;PU1,1;PD2,2;"
                                                << "0/0/0/0: 1,1>2,2";
    QTest::newRow("empty") << "" << "";
}

void TestPltSolve::parse()
{
    QFETCH(QString, section);
    QFETCH(QString, paths);
    QCOMPARE(describe(solve.parsePaths(section)), paths);
}

// Coordinates are converted without building strings; they must read exactly
// as QString::toInt does, limits and malformed runs included.
void TestPltSolve::numbersReadLikeToInt()
{
    QRandomGenerator rng(7);
    const QString chars = QStringLiteral("-0123456789");
    QStringList samples = {"2147483647", "2147483648", "-2147483648", "-2147483649", "-",
                           "--1", "-0", "000000000000000000012", "12-", "99999999999999999999"};
    for (int i = 0; i < 4000; ++i) {
        QString s = rng.bounded(3) == 0 ? QStringLiteral("-") : QString();
        const int len = 1 + rng.bounded(12);
        for (int k = 0; k < len; ++k)
            s += chars.at(rng.bounded(rng.bounded(20) == 0 ? 0 : 1, 11));
        samples << s;
    }
    for (const QString &s : samples) {
        const PlotPathList paths = solve.parsePaths(QStringLiteral("PD%1,77;").arg(s));
        const double x = paths.isEmpty() ? 0.0 : paths.first().segments.first().x2();
        QVERIFY2(x == s.toInt(), qPrintable(s));
    }
}

void TestPltSolve::dropDegenerate_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<bool>("kept");
    QTest::newRow("0.2 to 0.4 rounds together") << 0.2 << 0.4 << false;
    QTest::newRow("0.4 to 0.6 rounds apart") << 0.4 << 0.6 << true;
    QTest::newRow("-0.5 rounds up to 0") << -0.5 << 0.4 << false;
    QTest::newRow("-0.6 rounds to -1") << -0.6 << 0.4 << true;
    QTest::newRow("10.5 and 11") << 10.5 << 11.0 << false;
    QTest::newRow("NaN") << double(NAN) << 5.0 << false;
    QTest::newRow("beyond int range") << 3e9 << 3e9 + 1 << true;
}

void TestPltSolve::dropDegenerate()
{
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(bool, kept);
    PlotPath path = polyline({0, 0, 0, 10}, 3);
    path.lineType = 4;
    path.segments << QLineF(x1, 0, x2, 0);
    PlotPath lone;
    lone.segments << QLineF(x1, 0, x2, 0);
    const PlotPathList out = solve.dropDegenerate({path, lone});
    QCOMPARE(out.size(), kept ? 2 : 1);
    QCOMPARE(out.first().segments.size(), kept ? 2 : 1);
    QCOMPARE(out.first().pen, 3);
    QCOMPARE(out.first().lineType, 4);
    if (kept)
        QCOMPARE(out.first().segments.last().x1(), x1); // unrounded
}

void TestPltSolve::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("sections");
    QTest::newRow("whole file") << "MD0,0,800,600,3;SP1;A;SP2;B;!PG;"
                                << QStringList{"MD0,0,800,600,3;", "SP1;A;", "SP2;B;"};
    QTest::newRow("header is up to the first semicolon") << "IN;MD0,0,1,1,3;SP1;x"
                                                         << QStringList{"IN;", "SP1;x", ""};
    QTest::newRow("no MD, no header") << "IN;SP1;a;SP2;b;!PG;"
                                      << QStringList{"", "SP1;a;", "SP2;b;"};
    QTest::newRow("MD broken by a line feed") << "MD0,0\n;SP1;a;"
                                              << QStringList{"", "SP1;a;", ""};
    QTest::newRow("SP2 before SP1") << "SP2;a;SP1;b;"
                                    << QStringList{"", "SP1;b;", "SP2;a;SP1;b;"};
    QTest::newRow("no end mark") << "SP1;a;SP2;b;" << QStringList{"", "SP1;a;", "SP2;b;"};
    QTest::newRow("end mark before SP2") << "!PG;SP2;x" << QStringList{"", "", "SP2;x"};
    QTest::newRow("empty") << "" << QStringList{"", "", ""};
}

void TestPltSolve::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, sections);
    QCOMPARE(solve.splitSections(text), sections);
}

// The header test scans instead of using a regular expression (which is
// quadratic on long lines of "MD" without ';'); both must agree.
void TestPltSolve::headerMatchesPattern()
{
    QRandomGenerator rng(11);
    const QString alphabet = QStringLiteral("MD;\nx");
    const QRegularExpression pattern(QStringLiteral("MD.*?;"));
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int len = rng.bounded(16);
        for (int k = 0; k < len; ++k)
            text += alphabet.at(rng.bounded(alphabet.size()));
        const bool hasHeader = !solve.splitSections(text).first().isEmpty();
        QVERIFY2(hasHeader == text.contains(pattern), qPrintable(text));
    }
}

void TestPltSolve::readFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.plt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("MD0,0,1,1,3;\r\nSP1;");
    file.close();
    QCOMPARE(solve.readPlotFile(path), QStringLiteral("MD0,0,1,1,3;\nSP1;"));
    QCOMPARE(solve.readPlotFile(dir.filePath("missing.plt")), QString());
    QCOMPARE(solve.readPlotFile(QString()), QString());
}

void TestPltSolve::serialize_data()
{
    QTest::addColumn<PlotPathList>("paths");
    QTest::addColumn<QString>("crease");
    QTest::addColumn<QString>("cut");
    QTest::addColumn<QString>("plain");
    QTest::newRow("one joined path") << PlotPathList{polyline({100, 200, 300, 200, 300, 400})}
                                     << "IN;PA;SP1;PU100,200;PD300,200,300,400;PU;"
                                     << "SP2;PU100,200;PD300,200,300,400;PU;!PG;"
                                     << "IN;PA;PU100,200;PD300,200,300,400;PU;";
    PlotPath gap = polyline({0, 0, 10, 0});
    gap.segments << QLineF(20, 0, 30, 0);
    QTest::newRow("gap inside a path") << PlotPathList{gap}
                                       << "IN;PA;SP1;PU0,0;PD10,0;PU20,0;PD30,0;PU;"
                                       << "SP2;PU0,0;PD10,0;PU20,0;PD30,0;PU;!PG;"
                                       << "IN;PA;PU0,0;PD10,0;PU20,0;PD30,0;PU;";
    QTest::newRow("halves round up") << PlotPathList{polyline({10.5, -10.5, 6, 7})}
                                     << "IN;PA;SP1;PU11,-10;PD6,7;PU;"
                                     << "SP2;PU11,-10;PD6,7;PU;!PG;" << "IN;PA;PU11,-10;PD6,7;PU;";
    QTest::newRow("empty path and list") << PlotPathList{PlotPath()} << "IN;PA;SP1;PU;"
                                         << "SP2;PU;!PG;" << "IN;PA;PU;";
    QTest::newRow("beyond int range") << PlotPathList{polyline({5e9, -5e9, 0, 0})}
                                      << "IN;PA;SP1;PU5000000000,-5000000000;PD0,0;PU;"
                                      << "SP2;PU5000000000,-5000000000;PD0,0;PU;!PG;"
                                      << "IN;PA;PU5000000000,-5000000000;PD0,0;PU;";
}

void TestPltSolve::serialize()
{
    QFETCH(PlotPathList, paths);
    QFETCH(QString, crease);
    QFETCH(QString, cut);
    QFETCH(QString, plain);
    QCOMPARE(solve.serializeCrease(paths), crease);
    QCOMPARE(solve.serializeCut(paths), cut);
    QCOMPARE(solve.serializePlain(paths), plain);
}

void TestPltSolve::transforms()
{
    PlotPath path = polyline({0, 0, 100, 0});
    path.lineType = 1;
    path.patternLength = 2.5;
    const PlotPathList rotated = solve.flipY(solve.transposeXY({path}), 1000);
    QCOMPARE(describe(rotated), QStringLiteral("2/1/2.5/0: 0,1000>0,900"));
    QCOMPARE(describe(solve.translatePaths({polyline({10, 20, 30, 40})}, 10, 20)),
             QStringLiteral("2/0/0/0: 0,0>20,20"));
    QCOMPARE(solve.boundingRect(polyline({5, 9, -3, 2, 7, 4})), QRectF(-3, 2, 10, 7));
}

QTEST_GUILESS_MAIN(TestPltSolve)
#include "tst_pltsolve.moc"
