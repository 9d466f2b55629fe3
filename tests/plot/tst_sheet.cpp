#include "sheet.h"
#include "simrender.h"
#include "workmodes.h"

#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Sheet preparation, the pltjob tool that prints it (run as a process), and
// the simulated cutter's picture of a sheet.
class TestSheet : public QObject
{
    Q_OBJECT
private slots:
    void stream_data();
    void stream();
    void headerScanMatchesPattern();
    void refusesOversizedText();
    void pltjob_data();
    void pltjob();
    void simulatorDrawsWithYUp();

private:
    const QString box = QStringLiteral(CUTTERDESK_TEST_DATA "/plot/box.plt");
    QTemporaryDir dir;
    const QString png = dir.filePath("a.png"), svg = dir.filePath("a.svg");
};

static const char *kSmall = "MD0,0,4000,3000,4;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;";

// An empty job means no sheet.
void TestSheet::stream_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("network");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<int>("passes");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("job");
    const QString md = "MD0,0,4000,3000,4;";
    const QString body = "IN;PA;SP1;PU0,0;PD100,0;PU;SP2;PU0,0;PD0,100;PU;!PG;";
    const QString rotated = "IN;PA;SP1;PU0,4000;PD0,3900;PU;SP2;PU0,4000;PD100,4000;PU;!PG;";
    QTest::newRow("blank: no header") << kSmall << 0 << false << false << 1 << md << body;
    QTest::newRow("qr: digit forced to 4")
        << "MD0,0,4000,3000,5;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;" << 4 << false << false
        << 1 << "MD0,0,4000,3000,5;" << md + body;
    QTest::newRow("qr rotated: rebuilt with 5, sent with 4") << kSmall << 5 << false << true << 1
                                                             << "MD0,0,3000,4000,5;"
                                                             << "MD0,0,3000,4000,4;" + rotated;
    QTest::newRow("repeats: one end mark") << kSmall << 0 << false << false << 2 << md
        << "IN;PA;SP1;PU0,0;PD100,0;PU;IN;PA;SP1;PU0,0;PD100,0;PU;SP2;PU0,0;PD0,100;PU;SP2;PU0,0;PD0,100;PU;!PG;";
    const QString nested = "MD0,0,1000,1000,3;SP2;PU0,0;PD1000,1000;PU100,100;PD200,200;!PG;";
    QTest::newRow("usb blank: inner first")
        << nested << 0 << false << false << 1 << "MD0,0,1000,1000,3;"
        << "IN;PA;SP1;PU;SP2;PU100,100;PD200,200;PU0,0;PD1000,1000;PU;!PG;";
    QTest::newRow("network blank: as read")
        << nested << 0 << true << false << 1 << "MD0,0,1000,1000,3;"
        << "IN;PA;SP1;PU;SP2;PU0,0;PD1000,1000;PU100,100;PD200,200;PU;!PG;";
    QTest::newRow("starts with IN") << "IN;" + QString(kSmall) << 2 << false << false << 1 << "" << "";
    QTest::newRow("empty") << "" << 5 << false << false << 1 << "" << "";
}

void TestSheet::stream()
{
    QFETCH(QString, text);
    QFETCH(int, mode);
    QFETCH(bool, network);
    QFETCH(int, passes);
    QFETCH(QString, job);
    SheetOptions options = sheetOptionsFor(mode, network ? SheetLink::Network : SheetLink::Usb);
    QFETCH(bool, rotate);
    options.rotate = rotate;
    options.creasePasses = options.cutPasses = passes;
    const PreparedSheet sheet = prepareSheet(text, options);
    QCOMPARE(sheet.ok, !job.isEmpty());
    QTEST(sheet.header, "header");
    QCOMPARE(sheet.jobText, job);
}

// The MD header tests scan the text once instead of using the regular
// expressions "MD.*?;" (header present) and anchored "(MD.*?;)*" (leading
// run), which are quadratic on long lines of "MD" without ';'.
void TestSheet::headerScanMatchesPattern()
{
    const QRegularExpression header(QStringLiteral("MD.*?;")), run(QStringLiteral("(MD.*?;)*"));
    const QStringList pieces = {"MD", ";", "\n", "0,", "M", "D", "x"};
    QRandomGenerator rng(5);
    PltSolve solve;
    for (int i = 0; i < 5000; ++i) {
        QString text;
        for (int k = rng.bounded(12); k > 0; --k)
            text += pieces.at(rng.bounded(pieces.size()));
        QCOMPARE(!solve.splitSections(text).first().isEmpty(), text.contains(header));
        QCOMPARE(leadingMdRun(text), run.match(text, 0, QRegularExpression::NormalMatch,
                                               QRegularExpression::AnchoredMatchOption).captured());
    }
}

// A pass count that would make the text pass what a QString holds gives no
// sheet instead of a failed allocation.
void TestSheet::refusesOversizedText()
{
    SheetOptions options = sheetOptionsFor(2, SheetLink::Usb);
    options.cutPasses = 100000000;
    const PreparedSheet sheet = prepareSheet(kSmall, options);
    QVERIFY(!sheet.ok && sheet.tooLarge && sheet.jobText.isEmpty());
    options.cutPasses = 1000;
    QVERIFY(prepareSheet(kSmall, options).ok);
}

// pltjob prints what sheet preparation gives for the options it was given
// (by default those of mode 0 over USB), and renders cut lines blue and
// crease lines black, as the preview does; or it says why it cannot.
void TestSheet::pltjob_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("message"); // what standard error says, if anything
    SheetOptions all = sheetOptionsFor(11, SheetLink::Usb);
    all.rotate = true;
    all.knifeOffset = 0.3 * 40;
    all.closeOffset = 0.5 * 40;
    all.creasePasses = 2;
    all.cutPasses = 3;
    QTest::newRow("defaults") << QStringList{box} << 0
                              << prepareSheetFile(box, sheetOptionsFor(0, SheetLink::Usb)).jobText + '\n' << "";
    QTest::newRow("every option") << QStringList{"--mode", "11", "--rotate", "--knife", "0.3", "--close", "0.5",
                                                 "--crease-passes", "2", "--cut-passes", "3", "--png", png, "--svg",
                                                 svg, box}
                                  << 0 << prepareSheetFile(box, all).jobText + '\n' << "";
    QTest::newRow("missing file") << QStringList{"/nonexistent/a.plt"} << 1 << "" << "cannot read";
    QTest::newRow("no MD header") << QStringList{CUTTERDESK_TEST_DATA "/plot/no-header.plt"} << 1 << ""
                                  << "does not begin with an MD instruction";
    QTest::newRow("unwritable picture")
        << QStringList{"--png", "/nonexistent/dir/a.png", box} << 1 << "" << "cannot write";
    QTest::newRow("mode out of range") << QStringList{"--mode", "12", box} << 2 << "" << "--mode";
    QTest::newRow("knife beyond the form's range") << QStringList{"--knife", "2", box} << 2 << "" << "--knife";
    QTest::newRow("no file") << QStringList{} << 2 << "" << "plot file";
}

void TestSheet::pltjob()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcess p;
    p.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/tools/pltjob/pltjob"), args);
    QVERIFY(p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit);
    QTEST(p.exitCode(), "status");
    QTEST(QString::fromLatin1(p.readAllStandardOutput()), "out");
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(message.isEmpty() ? err.isEmpty() : err.contains(message), qPrintable(err));
    if (args.contains(svg)) {
        QVERIFY(!QImage(png).isNull());
        QFile file(svg); // the picture is painted once for both formats
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(content.contains("stroke=\"#0000ff\"") && content.contains("stroke=\"#000000\""));
    }
}

// The simulated cutter draws each sheet in the cutter's frame, y pointing up,
// as the preview and pltjob's pictures do: what lies near the sheet's top edge
// (large y) is near the top of the picture, what lies near x = 0 on the left.
void TestSheet::simulatorDrawsWithYUp()
{
    SimSheet sheet;
    sheet.mdSize = QSize(4000, 3000);
    sheet.lines << SimLine{QLineF(0, 2800, 4000, 2800), 2}  // cut, near the top edge
                << SimLine{QLineF(200, 0, 200, 3000), 1};   // crease, near the left edge
    const QImage image = renderSheet(sheet).convertToFormat(QImage::Format_RGB32);
    // The pixels of each colour, as one box.
    QRect blue, black;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QRect pixel(i % image.width(), i / image.width(), 1, 1);
        const QRgb p = image.pixel(pixel.topLeft());
        blue |= p == QColor(Qt::blue).rgb() ? pixel : QRect();
        black |= p == QColor(Qt::black).rgb() ? pixel : QRect();
    }
    QVERIFY2(!blue.isEmpty() && blue.bottom() < image.height() / 4, qPrintable(QString::number(blue.bottom())));
    QVERIFY(!black.isEmpty() && black.right() < image.width() / 4);
}

QTEST_GUILESS_MAIN(TestSheet)
#include "tst_sheet.moc"
