// The run log: the line of each outcome, a line cut short by a crash and
// fields that a CSV reader gets back whole, rotation, and a log that cannot
// be written.
#include "csvreader.h"
#include "runlog.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <time.h>

static QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

static RunRecord record(const QString &plotFile = QStringLiteral("/jobs/box.plt"),
                        RunRecord::Outcome outcome = RunRecord::Outcome::Cut, int mode = 3)
{
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 15, 3)); // local time
    return {start, start.addMSecs(83400), mode, QStringLiteral("1-2:1.0"), plotFile, {}, {}, outcome};
}

static const QByteArray kHeader = "start,end,mode,mode title,link,plot file,QR text,mark found,outcome,seconds\n";

class TestRunLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3"); // +01:00, in summer +02:00
        tzset();
    }
    void linePerOutcome();
    void lineCutShort_data();
    void lineCutShort();
    void rotation();
    void cannotBeWritten();

private:
    QTemporaryDir dir;
};

void TestRunLog::linePerOutcome()
{
    using O = RunRecord::Outcome;
    RunRecord mark = record({}, O::UncutNoMark, 8), qr = record({}, O::UncutNoQrFile, 10), lost = record({}, O::CutterLost, 11);
    mark.markFound = false;
    qr.qrText = QStringLiteral("gift-box");
    // Times given in UTC are written as local times, in summer with the summer offset.
    lost.start = QDateTime(QDate(2026, 7, 1), QTime(8, 0, 0), Qt::UTC);
    lost.end = lost.start.addSecs(5);
    lost.link = QStringLiteral("192.168.0.100");
    RunLog log(dir.filePath(QStringLiteral("made/on/demand")));
    for (const RunRecord &r : {record(), mark, qr, record({}, O::Stopped, 0), lost})
        QVERIFY2(log.append(r), qPrintable(log.errorString()));
    const QByteArray times = "2026-12-07T10:15:03+01:00,2026-12-07T10:16:26+01:00,";
    QCOMPARE(contents(log.filePath()),
             kHeader + times + "04,\"04. Single File, Matrix Scan.\",1-2:1.0,/jobs/box.plt,,,cut,83.4\n"
             + times + "09,\"AF. Single File, Single Feed.\",1-2:1.0,,,no,uncut: no mark,83.4\n"
             + times + "11,\"AF. QR Filter, Single Feed.\",1-2:1.0,,gift-box,,uncut: no QR file,83.4\n"
             + times + "01,\"01. Single File, Blank Cut.\",1-2:1.0,,,,stopped,83.4\n"
             + "2026-07-01T10:00:00+02:00,2026-07-01T10:00:05+02:00,12,\"AF. QR Filter, Feed While Cutting.\","
               "192.168.0.100,,,,cutter lost,5.0\n");
}

// The file is cut after the first place the text appears in the second
// line, as a crash leaves it; then a line whose fields need quoting.
void TestRunLog::lineCutShort_data()
{
    QTest::addColumn<QByteArray>("cutAfter");
    QTest::newRow("in an unquoted field") << QByteArray("1-2:");
    QTest::newRow("in a quoted field") << QByteArray("1-2:1.0,\"a ");
    QTest::newRow("between two quotes that stand for one") << QByteArray("1-2:1.0,\"a \"");
    QTest::newRow("after a line break in a quoted field") << QByteArray(",\n");
    QTest::newRow("before the line end") << QByteArray("cut,83.4");
}

void TestRunLog::lineCutShort()
{
    QFETCH(QByteArray, cutAfter);
    QTemporaryDir here;
    RunLog log(here.path());
    QVERIFY(log.append(record()) && log.append(record(QStringLiteral("a \"b\",\nc.plt"))));
    const QByteArray whole = contents(log.filePath());
    const int second = whole.indexOf("\n2026", kHeader.size()) + 1;
    QVERIFY(QFile::resize(log.filePath(), whole.indexOf(cutAfter, second) + cutAfter.size()));
    RunRecord last = record(QStringLiteral("say \"hi\", two\nlines 盒子.plt "));
    last.qrText = QStringLiteral("cr\rqr");
    QVERIFY(log.append(last));
    const Rows rows = readCsv(contents(log.filePath()));
    QCOMPARE(rows.size(), 4); // the header, the first, what is left of the second, the last
    QCOMPARE(rows.mid(0, 2), readCsv(whole).mid(0, 2));
    QCOMPARE(rows.last().mid(5), QStringList({last.plotFile, last.qrText, "", "cut", "83.4"}));
}

// Renamed after the day of its last line, beside an earlier one of that day.
void TestRunLog::rotation()
{
    QTemporaryDir here;
    RunLog log(here.path(), 1); // full with one line
    QFile earlier(here.filePath(QStringLiteral("runs-2026-12-07.csv")));
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier\n") == 8);
    earlier.close();
    for (const char *name : {"1.plt", "2.plt", "3.plt"}) {
        QVERIFY(log.append(record(QLatin1String(name))));
        QFile f(log.filePath());
        QVERIFY(f.open(QIODevice::ReadWrite)
                && f.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(23, 59)), QFileDevice::FileModificationTime));
    }
    QCOMPARE(contents(earlier.fileName()), QByteArray("earlier\n"));
    const QStringList files = {"runs-2026-12-07-2.csv", "runs-2026-12-07-3.csv", "runs.csv"};
    for (int i = 0; i < files.size(); ++i) {
        const Rows rows = readCsv(contents(here.filePath(files.at(i))));
        QVERIFY(rows.size() == 2 && rows.at(0).at(0) == QLatin1String("start"));
        QCOMPARE(rows.at(1).at(5), QStringLiteral("%1.plt").arg(i + 1));
    }
}

// A folder under a plain file, a log that is a folder, and a full disk: said,
// and nothing of the line is left.
void TestRunLog::cannotBeWritten()
{
    QTemporaryDir here;
    QFile plain(here.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly) && QDir(here.path()).mkpath(QStringLiteral("taken/runs.csv")));
    for (const QString &folder : {plain.fileName() + QStringLiteral("/logs"), here.filePath(QStringLiteral("taken"))}) {
        RunLog log(folder);
        QVERIFY(!log.append(record()));
        QVERIFY2(log.errorString().contains(folder), qPrintable(log.errorString()));
    }
    RunLog log(here.path());
    QVERIFY(log.append(record()));
    const QByteArray before = contents(log.filePath());
    // A file size limit stands in for the full disk: the write stops part way.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
    const rlimit full{rlim_t(before.size() + 20), limit.rlim_max};
    QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
    const bool appended = log.append(record());
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    QVERIFY(!appended && !log.errorString().isEmpty());
    QCOMPARE(contents(log.filePath()), before);
}

QTEST_GUILESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
