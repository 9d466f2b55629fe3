#include "sheet.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// pltjob as an operator runs it: output, messages and exit status.
class TestPltJob : public QObject
{
    Q_OBJECT
private slots:
    void printsThePreparedSheet_data();
    void printsThePreparedSheet();
    void refuses_data();
    void refuses();
    void renders();

private:
    struct Run
    {
        int status;
        QByteArray out, err;
    };
    Run run(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(CUTTERDESK_BINARY_DIR "/tools/pltjob/pltjob"), args);
        if (!p.waitForFinished(30000))
            return {-1, {}, {}};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
    }
    const QString box = QStringLiteral(CUTTERDESK_TEST_DATA "/plot/box.plt");
};

void TestPltJob::printsThePreparedSheet_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<double>("knife"); // mm
    QTest::addColumn<double>("close");
    QTest::addColumn<int>("creases");
    QTest::addColumn<int>("cuts");
    QTest::newRow("defaults") << QStringList{} << 0 << false << 0.0 << 0.0 << 1 << 1;
    QTest::newRow("mark mode, offsets")
        << QStringList{"--mode", "2", "--knife", "0.3", "--close", "0.5"} << 2 << false << 0.3
        << 0.5 << 1 << 1;
    QTest::newRow("matrix scan, rotated, repeats")
        << QStringList{"--mode", "3", "--rotate", "--crease-passes", "2", "--cut-passes", "3"} << 3
        << true << 0.0 << 0.0 << 2 << 3;
    QTest::newRow("auto-feed qr") << QStringList{"--mode", "11", "--knife", "1.5"} << 11 << false
                                  << 1.5 << 0.0 << 1 << 1;
}

void TestPltJob::printsThePreparedSheet()
{
    QFETCH(QStringList, args);
    QFETCH(int, mode);
    SheetOptions options = sheetOptionsFor(mode, SheetLink::Usb);
    QFETCH(bool, rotate);
    QFETCH(double, knife);
    QFETCH(double, close);
    QFETCH(int, creases);
    QFETCH(int, cuts);
    options.rotate = rotate;
    options.knifeOffset = knife * 40;
    options.closeOffset = close * 40;
    options.creasePasses = creases;
    options.cutPasses = cuts;
    const PreparedSheet sheet = prepareSheetFile(box, options);
    QVERIFY(sheet.ok);

    const Run r = run(args << box);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(QString::fromLatin1(r.out), sheet.jobText + QLatin1Char('\n'));
}

void TestPltJob::refuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QStringList{"/nonexistent/a.plt"} << 1 << "cannot read";
    QTest::newRow("no MD header") << QStringList{CUTTERDESK_TEST_DATA "/plot/no-header.plt"} << 1
                                  << "does not begin with an MD instruction";
    QTest::newRow("mode out of range") << QStringList{"--mode", "12", box} << 2 << "--mode";
    QTest::newRow("knife beyond the form's range") << QStringList{"--knife", "2", box} << 2
                                                   << "--knife";
    QTest::newRow("close not a number") << QStringList{"--close", "x", box} << 2 << "--close";
    QTest::newRow("unknown option") << QStringList{"--fast", box} << 2 << "fast";
    QTest::newRow("no file") << QStringList{} << 2 << "plot file";
    QTest::newRow("unwritable picture") << QStringList{"--png", "/nonexistent/dir/a.png", box} << 1
                                        << "cannot write";
}

void TestPltJob::refuses()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = run(args);
    QTEST(r.status, "status");
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(QString::fromLocal8Bit(r.err).contains(message), r.err.constData());
}

void TestPltJob::renders()
{
    QTemporaryDir dir;
    const QString png = dir.filePath("a.png"), svg = dir.filePath("a.svg");
    const Run r = run({"--png", png, "--svg", svg, "--knife", "0.3", box});
    QCOMPARE(r.status, 0);
    QImage image(png);
    QVERIFY(!image.isNull());
    int blue = 0, black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            blue += qBlue(c) > 200 && qRed(c) < 80 && qGreen(c) < 80;
            black += qBlue(c) < 60 && qRed(c) < 60 && qGreen(c) < 60;
        }
    QVERIFY(blue > 100);  // cut lines
    QVERIFY(black > 100); // crease lines
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.contains("<svg"));
    QVERIFY(content.contains("#0000ff"));
}

QTEST_GUILESS_MAIN(TestPltJob)
#include "tst_pltjob.moc"
