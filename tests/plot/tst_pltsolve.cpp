#include "mdsize.h"
#include "plottext.h"
#include "pltsolve.h"

#include <QtTest>

#include <cmath>

// Reading plot text into paths, and writing paths back as HPGL.
class TestPltSolve : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void dropDegenerate_data();
    void dropDegenerate();
    void split_data();
    void split();
    void serialize_data();
    void serialize();
    void mdSize_data();
    void mdSize();

private:
    PltSolve solve;
};

void TestPltSolve::parse_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("paths");
    QTest::newRow("crease path") << "SP1;PU100,200;PD300,200,300,400;"
                                 << "1/0/0/0: 100,200>300,200 300,200>300,400";
    QTest::newRow("pen up away and back joins, elsewhere breaks")
        << "PD100,200;PU0,0;PU100,200;PD300,400;PU0,0;PD5,5;"
        << "0/0/0/0: 0,0>100,200 100,200>300,400 | 0/0/0/0: 0,0>5,5";
    QTest::newRow("spaces and decimal points skipped") << "PD100.5, 2 3;" << "0/0/0/0: 0,0>1005,23";
    QTest::newRow("lone x dropped at semicolon") << "PD100;PU50,60;PD70,80;"
                                                 << "0/0/0/0: 50,60>70,80";
    QTest::newRow("unfinished point lost") << "PD10,10,20,2" << "0/0/0/0: 0,0>10,10";
    QTest::newRow("pen needs its semicolon") << "SP2PD10,10;PD5,5;" << "21010/0/0/0: 0,0>5,5";
    QTest::newRow("pen takes effect at a break")
        << "SP1;PU0,0;PD10,0;SP2;PD20,0;PU50,0;PD60,0;"
        << "1/0/0/0: 0,0>10,0 10,0>20,0 | 2/0/0/0: 50,0>60,0";
    QTest::newRow("LT partial keeps the mode, LT; resets")
        << "LT2,3,4;LT1,5;PU0,0;PD10,0;LT;PU50,50;PD60,60;"
        << "0/1/5/4: 0,0>10,0 | 0/0/0/0: 50,50>60,60";
    QTest::newRow("LT separators not collapsed") << "LT3,,7;PD10,0;" << "0/3/0/7: 0,0>10,0";
    QTest::newRow("PA follows the last PD/PU") << "PD;PA10,0;PU;PA20,0;PD30,0;"
                                                << "0/0/0/0: 0,0>10,0 | 0/0/0/0: 20,0>30,0";
    QTest::newRow("numbers read as toInt does") << "PU-5,-2147483648;PD2147483648,7,1-2,3;"
                                                << "0/0/0/0: -5,-2147483648>0,7 0,7>0,3";
    QTest::newRow("other instructions skipped") << "IN;MD1,2,3;PR5,5;pd9,9;PU1,1;PD2,2;"
                                                << "0/0/0/0: 1,1>2,2";
}

void TestPltSolve::parse()
{
    QFETCH(QString, section);
    QTEST(describe(solve.parsePaths(section)), "paths");
}

void TestPltSolve::dropDegenerate_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<bool>("kept");
    QTest::newRow("0.2 to 0.4 rounds together") << 0.2 << 0.4 << false;
    QTest::newRow("0.4 to 0.6 rounds apart") << 0.4 << 0.6 << true;
    QTest::newRow("-0.5 rounds up to 0") << -0.5 << 0.4 << false;
    QTest::newRow("NaN") << double(NAN) << 5.0 << false;
    QTest::newRow("beyond int range") << 3e9 << 3e9 + 1 << true;
}

// The segment is dropped from a longer path (which keeps its attributes) and
// a path left empty goes altogether.
void TestPltSolve::dropDegenerate()
{
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(bool, kept);
    PlotPath path{3, 4, 0, 0, {QLineF(0, 0, 0, 10), QLineF(x1, 0, x2, 0)}};
    const PlotPath lone{2, 0, 0, 0, {QLineF(x1, 0, x2, 0)}};
    const PlotPathList out = solve.dropDegenerate({path, lone});
    if (!kept)
        path.segments.removeLast();
    QCOMPARE(describe(out), describe(kept ? PlotPathList{path, lone} : PlotPathList{path}));
}

void TestPltSolve::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("sections");
    QTest::newRow("whole file") << "MD0,0,800,600,3;SP1;A;SP2;B;!PG;"
                                << QStringList{"MD0,0,800,600,3;", "SP1;A;", "SP2;B;"};
    QTest::newRow("header is up to the first semicolon") << "IN;MD0,0,1,1,3;SP1;x"
                                                         << QStringList{"IN;", "SP1;x", ""};
    QTest::newRow("MD broken by a line feed") << "MD0,0\n;SP1;a;SP2;b;"
                                              << QStringList{"", "SP1;a;", "SP2;b;"};
    QTest::newRow("SP2 before SP1, no end mark") << "SP2;a;SP1;b;"
                                                 << QStringList{"", "SP1;b;", "SP2;a;SP1;b;"};
    QTest::newRow("empty") << "" << QStringList{"", "", ""};
}

void TestPltSolve::split()
{
    QFETCH(QString, text);
    QTEST(solve.splitSections(text), "sections");
}

void TestPltSolve::serialize_data()
{
    QTest::addColumn<PlotPathList>("paths");
    QTest::addColumn<QString>("body");
    PlotPath gap = polyline({0, 0, 10, 0});
    gap.segments << QLineF(20, 0, 30, 0);
    QTest::newRow("joined path, then one with a gap")
        << PlotPathList{polyline({100, 200, 300, 200, 300, 400}), gap}
        << "PU100,200;PD300,200,300,400;PU0,0;PD10,0;PU20,0;PD30,0;";
    QTest::newRow("halves round up") << PlotPathList{polyline({10.5, -10.5, 6, 7})}
                                     << "PU11,-10;PD6,7;";
    QTest::newRow("empty path") << PlotPathList{PlotPath()} << "";
    QTest::newRow("beyond int range") << PlotPathList{polyline({5e9, -5e9, 0, 0})}
                                      << "PU5000000000,-5000000000;PD0,0;";
}

void TestPltSolve::serialize()
{
    QFETCH(PlotPathList, paths);
    QFETCH(QString, body);
    QCOMPARE(solve.serializeCrease(paths), "IN;PA;SP1;" + body + "PU;");
    QCOMPARE(solve.serializeCut(paths), "SP2;" + body + "PU;!PG;");
    QCOMPARE(solve.serializePlain(paths), "IN;PA;" + body + "PU;");
}

void TestPltSolve::mdSize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::newRow("five fields") << "MD0,0,4000,3000,3;SP1;" << QSize(3000, 4000);
    QTest::newRow("four fields, after other text") << "IN;MD0,0,100,200;" << QSize(200, 100);
    QTest::newRow("no MD") << "IN;SP1;PU0,0;" << QSize(0, 0);
    QTest::newRow("truncated") << "MD0,0,4000" << QSize(0, 4000);
}

void TestPltSolve::mdSize()
{
    QFETCH(QString, text);
    QTEST(parseMdSize(text), "size");
}

QTEST_GUILESS_MAIN(TestPltSolve)
#include "tst_pltsolve.moc"
