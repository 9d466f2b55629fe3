// The job procedures against the simulated cutter: the twelve single-sheet
// ones over the network link on loopback and over the USB link, the six
// auto-feed ones over USB (a mocked udev tree whose device node is the
// simulator's pty; run under umockdev-wrapper), the origin commands, the
// calibration, and the run log.
// Everything runs as in the program: the procedures on the cutter session's
// thread, the host and the simulated cutter on this one.
// The links' polls, the procedures' pauses and the feed interval are shortened
// unless a test measures them.
#include "../link/mockusb.h" // first: before any Qt header

#include "autofeed.h"
#include "cutterjobs.h"
#include "cuttersession.h"
#include "runlog.h"
#include "sheet.h"
#include "simserver.h"

#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <time.h>

namespace {

// A CSV reader for the run log's checks.
using Rows = QList<QStringList>;

// RFC 4180 as common readers (Python's csv) take it: a quote opens a quoted
// field only at its start; CR, LF or CR LF end a line; the last may lack one.
Rows readCsv(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    Rows rows;
    QStringList row;
    QString field;
    bool quoted = false, fieldStart = true;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool lineEnd = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (quoted && c == QLatin1Char('"') && text.mid(i + 1, 1) == QLatin1String("\""))
            field += text.at(++i);
        else if (c == QLatin1Char('"') && (quoted || fieldStart))
            quoted = !quoted;
        else if (quoted || (c != QLatin1Char(',') && !lineEnd))
            field += c;
        else {
            row << field;
            field.clear();
            if (lineEnd) {
                i += c == QLatin1Char('\r') && text.mid(i + 1, 1) == QLatin1String("\n");
                rows << row;
                row.clear();
            }
            fieldStart = true;
            continue;
        }
        fieldStart = false;
    }
    if (!fieldStart || !row.isEmpty())
        rows << (row << field);
    return rows;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// The main window's part: settings as plain values, the state label and the
// message boxes recorded, the operator at the questions (and, through the
// rig, at the trigger).
class FakeHost : public JobHost
{
public:
    JobSettings settings;
    QStringList states, boxes, results; // results: the result line, one per action
    bool lastFailed = false;
    QList<bool> answers; // OK or Cancel to the questions, Cancel once used up
    std::function<void()> onAsk;
    QList<PlotPathList> previews;
    int presses = 0, triggerWaits = 0; // presses: the trigger is pressed this often, then the job is stopped

    JobSettings jobSettings() const override { return settings; }
    void showJobState(const QString &text) override { states << text; }
    void showResult(const QString &text, bool failed) override { results << text, lastFailed = failed; }
    void showConnectError() override { boxes << QStringLiteral("Connect Error!"); }
    void showOriginDone(bool back) override { boxes << QString(back ? "Back" : "Set"); }
    bool confirmCalibration() override { return ask(QStringLiteral("Start Auto-Adjust")); }
    void showCalibrationDone() override { boxes << QStringLiteral("Auto-Adjust Completed!"); }
    void setSheetsLeft(int count) override { settings.feed.sheetsLeft = count; }
    bool askForMedia() override { return ask(QStringLiteral("No Paper...")); }
    void showJobPaths(const PlotPathList &paths) override { previews << paths; }
    bool ask(const QString &title)
    {
        boxes << title;
        if (onAsk)
            onAsk();
        return !answers.isEmpty() && answers.takeFirst();
    }
};

// A design whose outer square comes before the inner one, so ordering inner
// first changes the text; 4000 x 3000 plotter units.
QString outerFirstPlot(const QString &header = QStringLiteral("MD0,0,4000,3000,4;"))
{
    return header + QStringLiteral("\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\n"
                                   "PU400,400;PD3600,400,3600,2600,400,2600,400,400;\n"
                                   "PU1800,1300;PD2200,1300,2200,1700,1800,1700,1800,1300;\n!PG;\n");
}

// The simulated cutter on loopback, on a mocked USB node too when the rig's
// link is USB, and the procedures wired to it. Three sheets to cut, feed 300
// mm, eject 400 mm; base.plt (4000 x 3000, digit 4) is the plot file and
// job7.plt (digit 5) the one the QR code "job7" names.
struct Rig
{
    explicit Rig(JobLink link = JobLink::Network)
    {
        sim->cutter().config().busyMs = 0; // unless a test says otherwise
        sim->listen(QHostAddress::LocalHost, 0);
        if (link == JobLink::Usb) {
            // Mounted before the session's thread exists: the mount forks, and
            // a fork must not copy a lock another thread holds in umockdev's preload.
            device = bed.plug("1-2", "lp0", 0, sim->openUsbNode());
            host.settings.usbDevice = QStringLiteral("1-2:1.0"); // shown in `device`
        }
        session = std::make_unique<CutterSession>(host);
        session->options.pollPauseMs = 10;
        session->options.autoFeedPauses = AutoFeedPauses{1, 1, 1};
        session->options.cutterPort = sim->serverPort();
        session->options.calibrationPatternPath = QStringLiteral(CUTTERDESK_SOURCE_DIR "/jobs/CIR.plt");
        session->options.runLogFolder = dir.filePath(QStringLiteral("log"));
        host.settings.cutterAddress = QStringLiteral("127.0.0.1");
        host.settings.feed = FeedSettings{3, 300, 400};
        host.settings.feed.feedIntervalSecs = 0;
        usePlots();
        // On the simulator's thread, before the session hears back.
        sim->setInstructionHook([this](const QString &instruction) {
            if (onInstruction)
                onInstruction(instruction);
        });
        // The operator presses the trigger `presses` times, then Stop.
        QObject::connect(session.get(), &CutterSession::triggerArmed, session.get(), [this](bool armed) {
            if (armed)
                ++host.triggerWaits, host.presses-- > 0 ? session->trigger() : stop();
        });
        QObject::connect(session.get(), &CutterSession::originStored, session.get(), [this](QPoint p) { origin = p; });
        clock.start();
        // A job that waits for a reply which never comes is stopped, so it
        // fails its checks instead of hanging the test.
        QTimer::singleShot(kWatchdogMs, session.get(), [this] { stop(); });
    }
    static constexpr int kWatchdogMs = 15000;

    // Everything the cutter received, each instruction closed by ";".
    QString received()
    {
        const QStringList all = sim->cutter().instructions();
        return all.isEmpty() ? QString() : all.join(QLatin1Char(';')) + QLatin1Char(';');
    }
    QString writePlot(const QString &name, const QString &text)
    {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        return file.fileName();
    }
    // The plot file with `header`, and job7.plt (digit 5) the QR code "job7"
    // names, in a folder whose name contains ".plt". Every other file a QR
    // text could reach exists: plain.plt has no MD.
    void usePlots(const QString &header = QStringLiteral("MD0,0,4000,3000,4;"))
    {
        QDir(dir.path()).mkpath("my.plt files/sub");
        host.settings.plotFile = writePlot("my.plt files/base.plt", outerFirstPlot(header));
        writePlot("my.plt files/job7.plt", outerFirstPlot(QStringLiteral("MD0,0,4000,3000,5;")));
        for (const QString name : {"sub/inner", "job7\n", "a\\b", "job7\x7f", "../base"})
            writePlot("my.plt files/" + name + ".plt", outerFirstPlot());
        writePlot("my.plt files/plain.plt", "IN;SP2;PU0,0;PD100,100;!PG;");
        sim->cutter().config().qrReplies = QStringList{QStringLiteral("job7")};
    }
    // The job of a work mode as the runner starts it with the link type of
    // `link`; returns when it is over.
    void run(int mode, JobLink link = JobLink::Network)
    {
        const WorkMode &row = kWorkModes.at(size_t(mode));
        await([&] { return session->startJob(row, *jobLinkFor(row, link == JobLink::Usb ? "USB" : "RJ45")); });
    }
    // Starts an action on the session and handles events until it is over.
    void await(const std::function<bool()> &start)
    {
        QSignalSpy over(session.get(), &CutterSession::finished);
        QVERIFY(start());
        QVERIFY(over.wait(kWatchdogMs * 2));
    }
    void stop() { session->requestStop(); }
    // Runs f on this (the test's) thread after ms; callable from the simulator's thread.
    void later(int ms, std::function<void()> f)
    {
        QMetaObject::invokeMethod(sim.get(), [ms, f] { QTimer::singleShot(ms, f); }, Qt::QueuedConnection);
    }
    int sheetsLeft() const { return host.settings.feed.sheetsLeft; }
    // Per finished sheet: '+' cut, '-' moved out uncut.
    QString sheets()
    {
        QString out;
        for (const SimSheet &sheet : sim->cutter().finishedSheets())
            out += sheet.lines.isEmpty() ? '-' : '+';
        return out;
    }

    MockUsb bed;
    MockUsbDevice device;
    FakeHost host;
    QTemporaryDir dir;
    std::unique_ptr<CutterSimServer> sim = std::make_unique<CutterSimServer>();
    std::unique_ptr<CutterSession> session;
    QPoint origin{1200, -35}; // what Set Origin stored
    QElapsedTimer clock;
    int mark = -1; // what a test notes, for example where something happened
    std::function<void(const QString &)> onInstruction;
};

const JobLink U = JobLink::Usb, N = JobLink::Network;

// The matrix moves: a knife-up move followed by the status poll (inside a
// job text a move is followed by more plotting).
QStringList moves(const QString &received)
{
    static const QRegularExpression move(QStringLiteral("SP2;PU-?[0-9.e+]+,-?[0-9.e+]+;(?=CMD:10;)"));
    QStringList found;
    for (QRegularExpressionMatchIterator it = move.globalMatch(received); it.hasNext();)
        found << it.next().captured();
    return found;
}

QString jobText(int mode, const QString &plot)
{
    return prepareSheet(plot, sheetOptionsFor(mode, SheetLink::Usb)).jobText;
}

// Pieces of the auto-feed transcripts (the start position of a 4000 x 3000
// design is 120, 9300 - 1500).
const QString kPaper = "CMD:108;", kFeed = "CMD:109,0,0,0,0;CMD:105,300;", kIn = "CMD:5;",
              kPlace = "PU120,7800;CMD:10;", kRelease = "CMD:6;CMD:111;", kMd = "MD0,0,4000,3000,4;",
              kQrMd = "MD0,0,4000,3000,5;";

// A run with its settings and the cutter's replies, then: a piece of what
// must be sent, the sheets ('+' cut, '-' moved out uncut), the boxes shown,
// and any further check.
struct Case
{
    JobLink link;
    int mode;
    std::function<void(Rig &)> setUp;
    QString sent, sheets;
    QStringList boxes = {};
    std::function<void(Rig &)> check = {};
};

// An origin command or the calibration (op 0 set, 1 back, 2 calibration)
// with a fault and the marks the camera reads; then what is sent (the
// calibration's from the move under the camera), the boxes shown and how the
// result line begins.
struct Carriage
{
    int op;
    QString fault;
    QStringList marks;
    QString expected;
    QStringList boxes;
    QString result;
};

} // namespace

Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(Carriage)

class TestJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachModeSendsItsSheets_data();
    void eachModeSendsItsSheets();
    void runs_data();
    void runs();
    void closingEndsTheJobAtOnce();
    void countRaisedDuringTheLastSheet();
    void timeLeft();
    void carriage_data();
    void carriage();
    void calibrationPatternFolders();
    void logLinePerOutcome();
    void logLineCutShort_data();
    void logLineCutShort();
    void logRotation();
    void logCannotBeWritten();

private:
    QTemporaryDir dir;
};

void TestJobs::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3"); // +01:00, in summer +02:00
    tzset();
}

// Every work mode through the dispatch, the single-sheet ones over both links
// (one sheet, the matrix ones up to the trigger), the auto-feed ones over USB
// whatever the link type (three sheets, or one), and none without an MD
// header or with `count` 0.
void TestJobs::eachModeSendsItsSheets_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    // Whether the single-sheet procedures order inner paths first, USB and network.
    const bool innerFirst[6][2] = {{true, false}, {false, true}, {true, true},
                                   {false, true}, {true, true},  {true, true}};
    for (int mode = 0; mode < 6; ++mode) {
        for (const bool usb : {true, false}) {
            SheetOptions options;
            options.sendHeader = mode >= 2;
            options.forceQrDigit = mode >= 4;
            options.orderInnerFirst = innerFirst[mode][usb ? 0 : 1];
            // The QR modes cut job7.plt, whose header ends in ",5;": sent as ",4;".
            const QString text = prepareSheet(outerFirstPlot(mode >= 4 ? kQrMd : kMd), options).jobText;
            const QString sent = QString(mode % 2 ? "CMD:203;" : "") + (mode > 3 ? "CMD:101;" : "") + text + "CMD:10;";
            QTest::addRow("%d, %s", mode, usb ? "USB" : "RJ45") << mode << usb << 3 << sent;
        }
    }
    const QString blank = "CMD:202;" + jobText(6, outerFirstPlot()) + "CMD:10;";
    const QString mark = "CMD:202;" + jobText(8, outerFirstPlot()) + "CMD:10;";
    const QString qr = "CMD:101;CMD:202;" + jobText(10, outerFirstPlot(kQrMd)) + "CMD:10;";
    const auto single = [](const QString &cut, const QString &lastMove) {
        return QString(kPaper + kFeed + kIn + kPlace + cut + kRelease + lastMove).repeated(3);
    };
    // The first sheet comes from the container, the others by pre-feed; the
    // container is asked again after each sheet.
    const auto whileCutting = [](const QString &cut, int sheets, bool preFeedLast) {
        const QString sheet = kIn + kPaper + "%1" + kPlace + cut + kRelease + "CMD:105,300;" + kPaper;
        return kPaper + kFeed + kPaper + sheet.arg("CMD:110;").repeated(sheets - 1)
            + sheet.arg(preFeedLast ? "CMD:110;" : "");
    };
    // Blank, file and QR, each with a single feed (6, 8, 10; eject 400 mm but
    // in the QR mode) and fed while cutting (7, 9, 11; three sheets and one).
    // Mode 7 pre-feeds whenever the container has paper, 9 and 11 not for the last sheet.
    for (int mode = 6; mode < 12; ++mode) {
        const QString &cut = mode < 8 ? blank : mode < 10 ? mark : qr;
        const QString eject = mode == 10 ? "CMD:105,300;" : "CMD:105,400;";
        for (const int count : {3, 1})
            if (count == 3 || mode % 2)
                QTest::addRow("%d, count %d", mode, count)
                    << mode << false << count << (mode % 2 ? whileCutting(cut, count, mode == 7) : single(cut, eject));
    }
    for (int mode = 0; mode < 12; ++mode) {
        // Modes 0, 2, 4 over USB, 1, 3, 5 over the network.
        QTest::addRow("%d, no MD", mode) << mode << (mode % 2 == 0) << -1 << QString();
        if (mode >= 6)
            QTest::addRow("%d, count 0", mode) << mode << false << 0 << QString();
    }
}

void TestJobs::eachModeSendsItsSheets()
{
    QFETCH(int, mode);
    QFETCH(bool, usb);
    QFETCH(int, count);
    QFETCH(QString, expected);
    Rig rig(usb || mode >= 6 ? U : N);
    rig.usePlots(count < 0 ? QString() : kMd);
    rig.host.settings.feed.sheetsLeft = qAbs(count);
    rig.run(mode, usb ? U : N);
    QCOMPARE(rig.received(), expected);
    const bool sent = !expected.isEmpty();
    QCOMPARE(rig.received().contains(QRegularExpression("(^|;)MD")), sent && mode % 6 >= 2);
    QCOMPARE(rig.host.triggerWaits, sent && mode < 6 && mode % 2 ? 1 : 0);
    QCOMPARE(rig.sheetsLeft(), sent && mode >= 6 ? 0 : qAbs(count));
    const int previews = sent && mode >= 10 ? count : 0;
    QCOMPARE(rig.host.previews.size(), previews);
    // The job cut, as the preview shows it.
    QVERIFY(previews == 0 || rig.host.previews.first() == PltSolve().parsePaths(jobText(10, outerFirstPlot(kQrMd))));
    // The result line: why nothing was sent, or how the job ended.
    QCOMPARE(rig.host.results.size(), 1);
    const QString result = rig.host.results.first();
    const QString ending = count < 0 ? "Not started: base.plt does not begin with an MD instruction"
        : mode >= 6 && count         ? QString("Finished: %1 sheets cut (").arg(count)
        : mode >= 6                  ? "Nothing to do: Count is 0"
        : mode % 2                   ? "Stopped by the operator (" // a matrix ends at the trigger
                                     : "Finished (";
    QVERIFY2(result.startsWith(ending), qPrintable(result));
    QCOMPARE(rig.host.lastFailed, !sent);
    if (sent && mode >= 6 && count == 3) { // the time left, once a sheet has been timed
        const QRegularExpression first("^Sheet 1 of 3: .* \\(\\d+ s so far\\)$");
        const QRegularExpression last("^Sheet 3 of 3: .* \\(\\d+ s so far, about \\d+ s left\\)$");
        QVERIFY(!rig.host.states.filter(first).isEmpty());
        QVERIFY2(!rig.host.states.filter(last).isEmpty(), qPrintable(rig.host.states.join('\n')));
        QVERIFY(rig.host.states.filter(QRegularExpression("^Sheet 1 of 3: .*left\\)$")).isEmpty());
    }
}

void TestJobs::runs_data()
{
    QTest::addColumn<Case>("c");
    const auto took = [](int ms) { return [=](Rig &r) { QVERIFY(r.clock.elapsed() >= ms); }; };
    // The run log: one line per sheet, as it ends (mode, link, file, QR text,
    // mark, outcome); a log that cannot be written leaves the run going and
    // is said with its result.
    const auto logs = [](const QStringList &lines) {
        return [=](Rig &r) {
            const Rows rows = readCsv(contents(r.dir.filePath(QStringLiteral("log/runs.csv"))));
            QCOMPARE(rows.size(), lines.size() + 1); // the header first
            for (int i = 0; i < lines.size(); ++i) {
                const QStringList &row = rows.at(i + 1);
                QCOMPARE(QStringList({row.value(2), row.value(4), QFileInfo(row.value(5)).fileName(), row.value(6),
                                      row.value(7), row.value(8)}).join('|'), lines.at(i));
                const auto at = [&](int column) { return QDateTime::fromString(row.value(column), Qt::ISODate); };
                QVERIFY(at(0).isValid() && at(0) <= at(1));
            }
        };
    };
    QTest::newRow("log: one sheet") << Case{N, 0, [](Rig &) {}, "", "+", {}, logs({"01|127.0.0.1|base.plt|||cut"})};
    QTest::newRow("log: QR") << Case{N, 4, [](Rig &) {}, "", "+", {}, logs({"05|127.0.0.1|job7.plt|job7|yes|cut"})};
    QTest::newRow("log cannot be written") << Case{N, 0, [](Rig &r) { r.writePlot("log", "a file, not a folder"); },
        "", "+", {}, [](Rig &r) {
        QVERIFY(!QFile::exists(r.dir.filePath(QStringLiteral("log/runs.csv"))));
        const QString result = r.host.results.value(0);
        QVERIFY2(result.startsWith("Finished (") && result.contains("; the run log could not be written: "),
                 qPrintable(result));
    }};
    // The cutter's QR codes in turn for `count` sheets (see usePlots for the files).
    const auto codes = [](const QStringList &texts, int count) {
        return [=](Rig &r) { r.sim->cutter().config().qrReplies = texts, r.host.settings.feed.sheetsLeft = count; };
    };

    // Single-sheet jobs: rotation and passes as set; a file without lines, or
    // one to rotate without a size, is not sent; a QR text naming no file in
    // the plot file's folder cuts nothing; in mode 5 "NOQR;" keeps the last
    // file and a missing one gives no sheet, but the wait and the move come.
    QTest::newRow("mark, rotated, no passes") << Case{N, 2, [](Rig &r) {
        r.host.settings.rotate = true, r.host.settings.creasePasses = r.host.settings.cutPasses = 0;
    }, "MD0,0,3000,4000,4;!PG;CMD:10;", "-"};
    const auto notStarted = [](const QString &result) {
        return [=](Rig &r) {
            QCOMPARE(r.received(), QString());
            QCOMPARE(r.host.results.value(0), result);
        };
    };
    QTest::newRow("no lines") << Case{N, 0, [](Rig &r) {
        r.writePlot("my.plt files/base.plt", "MD0,0,4000,3000,4;\nSP1;\nSP2;\n!PG;\n");
    }, "", "", {}, notStarted("Not started: no crease or cut lines in base.plt")};
    QTest::newRow("rotated, no MD size") << Case{N, 0, [](Rig &r) {
        r.usePlots("MD0,0,4000.0,3000.0,4;"), r.host.settings.rotate = true;
    }, "", "", {},
        notStarted("Not started: base.plt gives no sheet size in its MD instruction, so it cannot be rotated")};
    const QStringList unsafe{"../base", "sub/inner", "a\\b", "job7\n", "job7\x7f"};
    for (int i = 0; i < unsafe.size(); ++i)
        QTest::addRow("QR text %d", i) << Case{N, 4, codes({unsafe[i]}, 1), "CMD:101;", ""};
    QTest::newRow("QR matrix") << Case{N, 5, [=](Rig &r) {
        codes({"NOQR;", "job7", "NOQR;", "missing", "NOQR;"}, 1)(r), r.host.presses = 4;
    }, "CMD:101;", "++", {}, [](Rig &r) {
        QCOMPARE(r.sim->cutter().instructions().count(QStringLiteral("CMD:101")), 5);
        QCOMPARE(r.host.triggerWaits, 5);
        QCOMPARE(moves(r.received()).size(), 4);
    }};

    // The places of a matrix with 5 mm and 2.5 mm gaps for a cutter that
    // reports the start origin (0, 0) at every query; "CMD:202;" after each move.
    const auto matrix = [](MatrixLayout layout, const QStringList &moved) {
        const int presses = qMax(1, int(moved.size()));
        return Case{N, 1, [=](Rig &r) {
            r.host.settings.matrix = layout;
            r.host.settings.gapFirstMm = 5.0;
            r.host.settings.gapSecondMm = 2.5;
            r.host.presses = presses;
            // The origin query and its poll, then per place the position query,
            // the poll after the move, "CMD:202;" and the poll after the sheet.
            QStringList &replies = r.sim->cutter().config().scriptedReplies;
            replies = QStringList{"0,0;", "FREE;"};
            for (int i = 0; i < presses; ++i)
                replies << (moved.isEmpty() ? QStringList{"FREE;"} : QStringList{"0,0;", "FREE;", "OK;", "FREE;"});
        }, "", QString(presses + 1, '+'), {}, [=](Rig &r) {
            QCOMPARE(moves(r.received()), moved);
            // Between two sheets: which place comes next.
            for (int sheet = 1; sheet <= presses + 1; ++sheet) {
                const QString next = QStringLiteral("Sheet %1 done; next: place %2 of %3. Press Space or Volume Up (")
                                         .arg(sheet).arg(sheet % presses + 1).arg(presses);
                QVERIFY2(!r.host.states.filter(next).isEmpty(), qPrintable(next));
            }
            QCOMPARE(r.sim->cutter().instructions().count(QLatin1String("CMD:202")), moved.size());
        }};
    };
    QTest::newRow("matrix of four")
        << matrix(MatrixLayout::Four, {"SP2;PU0,3100;", "SP2;PU4200,3100;", "SP2;PU4200,0;", "SP2;PU0,0;"});
    QTest::newRow("matrix of two") << matrix(MatrixLayout::Two, {"SP2;PU4200,0;", "SP2;PU0,0;"});
    QTest::newRow("matrix of one") << matrix(MatrixLayout::One, {"SP2;PU0,0;"});
    QTest::newRow("no matrix selected") << matrix(MatrixLayout::None, {});

    // Auto-feed: the start position (d / 2 truncated; the QR modes take the
    // size from the plot file) and the smart search over P1..P4.
    QTest::newRow("d 3001") << Case{U, 6, [](Rig &r) { r.usePlots("MD0,0,4000,3001,3;"); }, kIn + kPlace, "+"};
    QTest::newRow("QR, rotated plot file") << Case{U, 10, [](Rig &r) {
        r.usePlots("MD0,0,4000,3001,5;"), r.host.settings.rotate = true;
    }, kIn + "PU120,7300;CMD:10;", "+"};
    QTest::newRow("no mark: stays at P4")
        << Case{U, 8, [](Rig &r) { r.host.settings.feed.smartScan = true; },
                "PU120,7800;CMD:10;CMD:106;PU120,8400;CMD:10;CMD:106;PU520,8400;CMD:10;CMD:106;"
                "PU520,7800;CMD:10;CMD:106;CMD:202;" + kMd, "+"};

    // Auto-feed: an unregistered sheet leaves uncut (after a pause in modes 8
    // and 9) and is counted; the QR modes select files as mode 5 does; mode
    // 11 takes an unanswered pre-feed check as paper after a second.
    QTest::newRow("8, no mark") << Case{U, 8, [](Rig &r) {
        r.sim->cutter().config().mdReplies = QStringList{"NOMARK;", "MD_OK;"};
        r.host.settings.feed.sheetsLeft = 2;
        r.session->options.autoFeedPauses.beforeUncutEject = 1000;
    }, kMd + "!PG;CMD:10;" + kRelease, "-+", {}, [=](Rig &r) {
        took(1000)(r);
        logs({"09|1-2:1.0|base.plt||no|uncut: no mark", "09|1-2:1.0|base.plt||yes|cut"})(r);
    }};
    QTest::newRow("11, no code, then one kept") << Case{U, 11, codes({"NOQR;", "job7", "NOQR;"}, 3), "", "-++", {},
        logs({"12|1-2:1.0||NOQR;||uncut: no QR file", "12|1-2:1.0|job7.plt|job7|yes|cut",
              "12|1-2:1.0|job7.plt|NOQR;|yes|cut"})};
    QTest::newRow("11, a missing file is not kept") << Case{U, 11, codes({"job7", "missing", "NOQR;"}, 3), "", "+--"};
    QTest::newRow("11, leaving the folder, no MD") << Case{U, 11, codes({"../base", "job7", "plain"}, 3), "", "-+-"};
    QTest::newRow("11, pre-feed check unanswered") << Case{U, 11, [](Rig &r) {
        r.host.settings.feed.sheetsLeft = 2;
        r.onInstruction = [&r](const QString &instruction) {
            if (instruction == QLatin1String("CMD:5") && !r.received().contains(kIn + kPaper))
                r.sim->cutter().config().scriptedReplies = QStringList{QString()};
        };
    }, kIn + kPaper + "CMD:110;" + kPlace, "++", {}, took(1000)};

    // Auto-feed: two feeds never closer than the interval; an empty container
    // asks the operator (Feed While Cutting once the last pre-fed sheet is out).
    const auto feed = [](int inContainer, int count, QList<bool> answers, int intervalSecs = 0) {
        return [=](Rig &r) {
            r.sim->cutter().config().sheets = inContainer;
            r.host.settings.feed.sheetsLeft = count;
            r.host.settings.feed.feedIntervalSecs = intervalSecs;
            r.host.answers = answers;
        };
    };
    QTest::newRow("6, interval") << Case{U, 6, feed(9, 3, {}, 1), "", "+++", {}, took(1900)};
    QTest::newRow("7, interval") << Case{U, 7, feed(9, 3, {}, 1), "", "+++", {}, took(2900)};
    QTest::newRow("6, Cancel ends") << Case{U, 6, feed(1, 3, {}), "", "+", {"No Paper..."}};
    QTest::newRow("7, Cancel ends") << Case{U, 7, feed(2, 4, {}), "", "++", {"No Paper..."}};
    QTest::newRow("7, OK feeds from the container") << Case{U, 7, feed(2, 4, {true}),
        "CMD:105,300;" + kPaper + kFeed + kPaper + kIn, "++++", {"No Paper..."}};
    QTest::newRow("7, nothing left: no box") << Case{U, 7, feed(2, 2, {}), "", "++"};

    // Once the cutter has answered the instruction `at`, Stop is pressed (the
    // cutter busy 1.2 s with each sheet), or the cutter falls silent and Stop
    // follows, or it hangs up before its next reply, or the USB cutter is
    // unplugged. A live cutter finishes its sheet; a silent one is abandoned
    // at once; no reply is made up (a position query left unanswered must not
    // move the carriage); a sheet not finished is not counted. `after`: all
    // that is sent from then on.
    // "lost": the link goes while the cutter owes a reply, busy 1 s with the
    // text (the poll would be answered over a new connection), or at the QR
    // read when `at` is empty; no sheet is taken for cut, however the wait
    // ends. `ended` and the log `line` are given for those.
    const auto interrupted = [logs](JobLink link, int run, const QString &at, const QString &kind,
                                    const QString &after, const QString &sheets, int waits,
                                    const QString &lostEnded = {}, const QString &line = {}) {
        const bool hangUp = kind == "hang up" || (kind == "lost" && link == N);
        const bool unplug = kind == "unplug" || (kind == "lost" && link == U);
        const auto setUp = [=](Rig &r) {
            r.host.settings.feed.sheetsLeft = 3;
            r.host.presses = 1;
            r.sim->cutter().config().busyMs = kind == "stop" ? 1200 : kind == "lost" ? 1000 : 0;
            // Unplugged by the device itself once it has answered `at` (the
            // sixth command of a sheet), on its own thread; the hook below tidies the udev tree.
            r.sim->faults().dropAfter = kind == "unplug" ? 6 : 0;
            const auto interrupt = [&r, kind, hangUp, unplug] {
                if (kind == "stop")
                    r.stop();
                r.sim->faults().silent = kind == "silent" || hangUp;
                if (kind == "silent")
                    r.later(200, [&r] { r.stop(); });
                if (hangUp) // the connection drops instead of the next reply
                    r.later(200, [&r] { r.sim->dropConnection(), r.sim->faults().silent = false; });
                if (unplug)
                    r.later(0, [&r] { r.bed.unplug(r.device), r.sim->hangUp(); });
            };
            if (at.isEmpty())
                return r.mark = 0, interrupt();
            r.onInstruction = [&r, at, interrupt](const QString &instruction) {
                if (r.mark < 0 && instruction == at)
                    r.mark = r.received().size(), interrupt();
            };
        };
        return Case{link, run, setUp, "", sheets, {}, [=](Rig &r) {
            QVERIFY(r.mark >= 0 && r.clock.elapsed() < CutterLink::kSilenceMs + 2000);
            QVERIFY(kind != "stop" || r.clock.elapsed() >= 1000); // waited, not abandoned
            QCOMPARE(r.host.triggerWaits, waits);
            QCOMPARE(r.host.states.contains("Waiting for the cutter..."), kind == "silent" || hangUp);
            const QString sent = r.received().mid(r.mark);
            QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(after)).match(sent).hasMatch(),
                     qPrintable(sent));
            const QString ended = kind == "stop" ? "Stopped by the operator (" // a live cutter: its sheet is finished
                : kind == "lost"                  ? lostEnded
                : kind == "unplug"                ? "Ended: the USB cutter is gone ("
                                                  : "Ended: the cutter stopped answering (";
            QVERIFY2(r.host.results.value(0).startsWith(ended), qPrintable(r.host.results.value(0)));
            if (!line.isEmpty())
                logs({line})(r);
            if (kind == "unplug") { // plugged back under another node: the same link cuts again
                r.sim->faults().dropAfter = 0;
                r.sim->usbNode()->plug();
                r.bed.plug("1-2", "lp1", 1, r.sim->usbNode()->path());
                r.onInstruction = nullptr;
                r.host.settings.feed.sheetsLeft = 1;
                r.run(run, link);
                QCOMPARE(r.sheets(), QStringLiteral("+"));
                QCOMPARE(r.sheetsLeft(), 0);
                logs({"07|1-2:1.0|base.plt|||cutter lost", "07|1-2:1.0|base.plt|||cut"})(r);
            }
        }};
    };
    QTest::newRow("Stop during a matrix sheet") << interrupted(N, 3, "!PG", "stop", "(CMD:10;)+", "+", 0);
    QTest::newRow("Stop during an auto-feed sheet")
        << interrupted(U, 8, "CMD:202", "stop", ".*!PG;(CMD:10;)+CMD:6;CMD:111;CMD:105,400;", "+", 0);
    QTest::newRow("silent after a sheet") << interrupted(N, 2, "!PG", "silent", "CMD:10;", "+", 0);
    QTest::newRow("no reply to the position query") << interrupted(N, 3, "CMD:10", "hang up", "CMD:203;", "+", 1);
    QTest::newRow("silent at the pre-feed check") << interrupted(U, 9, "CMD:5", "silent", "CMD:108;", "", 0);
    QTest::newRow("unplugged during the cut") << interrupted(U, 6, "CMD:202", "unplug", ".*", "", 0);
    QTest::newRow("connection lost after the text") << interrupted(N, 0, "!PG", "lost", ".*", "+", 0,
        "Ended: the connection to the cutter was lost (", "01|127.0.0.1|base.plt|||cutter lost");
    QTest::newRow("USB cutter gone after the text") << interrupted(U, 0, "!PG", "lost", ".*", "+", 0,
        "Ended: the USB cutter is gone (", "01|1-2:1.0|base.plt|||cutter lost");
    QTest::newRow("connection lost at the QR read") << interrupted(N, 4, "", "lost", ".*", "", 0,
        "Ended: the cutter stopped answering (", "05|127.0.0.1|base.plt|||cutter lost");
    QTest::newRow("QR, no code") << Case{N, 4, codes({"NOQR;"}, 1), "CMD:101;", "", {}, [=](Rig &r) {
        QVERIFY(r.host.lastFailed && r.host.results.value(0) == "Not cut: the cutter found no QR code");
        logs({"05|127.0.0.1|base.plt|NOQR;||uncut: no QR file"})(r);
    }};
    // Stop while a Single Feed run waits for the feeder: no new sheet is begun.
    QTest::newRow("Stop before the next feed") << Case{U, 6, [](Rig &r) {
        r.host.settings.feed.sheetsLeft = 3;
        r.onInstruction = [&r, checks = 0](const QString &instruction) mutable {
            if (instruction == QLatin1String("CMD:108") && ++checks == 2)
                r.stop();
        };
    }, "", "+", {}, [](Rig &r) { QVERIFY(r.host.results.value(0).startsWith("Stopped by the operator (")); }};
}

void TestJobs::runs()
{
    QFETCH(Case, c);
    Rig rig(c.link);
    rig.host.settings.feed.sheetsLeft = 1;
    int atBox = -1; // how much was sent when a box came up, and whether it was answered OK
    bool lastOk = false;
    rig.host.onAsk = [&] {
        atBox = rig.received().size();
        lastOk = !rig.host.answers.isEmpty() && rig.host.answers.first();
        rig.sim->cutter().config().sheets = 5; // the operator loads media
    };
    c.setUp(rig);
    const int count = rig.sheetsLeft();
    rig.run(c.mode, c.link);
    QVERIFY2(rig.received().contains(c.sent), qPrintable(rig.received()));
    QCOMPARE(rig.sheets(), c.sheets);
    QCOMPARE(rig.host.boxes, c.boxes);
    const bool autoFeed = c.mode >= 6;
    if (autoFeed) // every sheet out is counted
        QCOMPARE(rig.sheetsLeft(), count - int(c.sheets.size()));
    if (autoFeed && count > 0 && rig.sheetsLeft() == 0) { // a run that used up its count says what it did
        const int uncut = int(c.sheets.count('-'));
        const QString summary = uncut ? QStringLiteral("Finished: %1 sheets cut, %2 moved out uncut: %2 %3 (")
                                            .arg(c.sheets.size() - uncut).arg(uncut)
                                            .arg(c.mode >= 10 ? "no QR file" : "no mark")
                                      : QStringLiteral("Finished: %1 sheets cut (").arg(c.sheets.size());
        QVERIFY2(rig.host.results.value(0).startsWith(summary), qPrintable(rig.host.results.value(0)));
    }
    if (atBox >= 0 && !lastOk)
        QCOMPARE(rig.received().size(), atBox); // Cancel: nothing more is sent
    if (c.check)
        c.check(rig);
}

// The session going (the window closing) ends a job that waits on a silent
// cutter at once; nothing more is sent, and the sheet is logged as stopped.
void TestJobs::closingEndsTheJobAtOnce()
{
    Rig rig(N);
    rig.sim->faults().silent = true;
    QVERIFY(rig.session->startJob(kWorkModes[0], N));
    QTRY_VERIFY(rig.received().endsWith(QLatin1String("CMD:10;"))); // polling the silent cutter
    QElapsedTimer clock;
    clock.start();
    rig.session.reset();
    QVERIFY(clock.elapsed() < 500);
    const QString sent = rig.received();
    QTest::qWait(200);
    QCOMPARE(rig.received(), sent);
    QCOMPARE(readCsv(contents(rig.dir.filePath(QStringLiteral("log/runs.csv")))).value(1).value(8),
             QStringLiteral("stopped"));
}

// Count raised while Feed While Cutting cuts its last sheet: nothing was
// pre-fed behind it, so the next sheet comes from the container; every sheet
// cut was taken from it.
void TestJobs::countRaisedDuringTheLastSheet()
{
    Rig rig(U);
    rig.host.settings.feed.sheetsLeft = 2;
    rig.sim->cutter().config().sheets = 10;
    rig.onInstruction = [&rig, cuts = 0](const QString &instruction) mutable {
        if (instruction == QLatin1String("CMD:202") && ++cuts == 2)
            rig.later(0, [&rig] { ++rig.host.settings.feed.sheetsLeft; });
    };
    rig.run(9, U);
    const QStringList sent = rig.sim->cutter().instructions();
    QCOMPARE(rig.sheets(), QStringLiteral("+++"));
    QCOMPARE(sent.count(QStringLiteral("CMD:109,0,0,0,0")) + sent.count(QStringLiteral("CMD:110")), 3);
}

// Every sheet still to do takes the average of those done, never less than the
// feed interval, less what the current one has had already; none before a
// sheet has been timed.
void TestJobs::timeLeft()
{
    QCOMPARE(timeLeftMs(0, 0, 0, 20, 18), std::optional<qint64>());
    QCOMPARE(timeLeftMs(3, 0, 3000, 0, 18), std::optional<qint64>());
    QCOMPARE(timeLeftMs(2, 0, 60000, 3, 18), std::optional<qint64>(90000));      // slower than the feeder
    QCOMPARE(timeLeftMs(2, 5000, 4000, 3, 18), std::optional<qint64>(49000));    // the feeder sets the pace
    QCOMPARE(timeLeftMs(1, 30000, 10000, 1, 0), std::optional<qint64>(0));       // overdue: not negative
}

// Set stores the carriage position, Back moves by the difference to it. The
// calibration draws its pattern, moves under the camera and reads up to two
// marks; only a reading taken in that exchange is a measurement, within 5 mm.
// A failure (no cutter, no reply) shows no "OK!" or done box and stores,
// moves or draws nothing; an invalid address shows no box at all.
void TestJobs::carriage_data()
{
    QTest::addColumn<Carriage>("c");
    const char *ops[] = {"set", "back", "calibration"};
    const QStringList none, error{"Connect Error!"}, asked{"Start Auto-Adjust"},
        done = asked + QStringList{"Auto-Adjust Completed!"};
    const QString read = QStringLiteral("PU0,0;CMD:10;CMD:106;");
    const QString oneOff = read + "CMD:201,39,1;PU40,40;CMD:10;CMD:106;";
    const char *actions[] = {"Set Origin", "Back Origin", "Auto-Adjust"};
    QTest::newRow("set") << Carriage{0, "", none, "CMD:203;", {"Set"}, "Origin stored: 1000, 100"};
    QTest::newRow("back") << Carriage{1, "", none, "CMD:203;SP2;PU200,-135;CMD:10;CMD:202;", {"Back"},
                                      "Back at the origin 1200, -35"};
    QTest::newRow("back, USB cutter gone during the move") << Carriage{1, "unplug", none, "CMD:203;SP2;PU200,-135;",
                                                                       none, "Back Origin: the cutter was lost during the move"};
    for (int op = 0; op < 3; ++op) {
        const QStringList pre = op == 2 ? asked : none;
        const QStringList failed = pre + error;
        const QString action = QString::fromLatin1(actions[op]);
        QTest::addRow("%s, invalid address", ops[op]) << Carriage{op, "invalid address", none, "", pre,
            action + ": the cutter address \"127.0.0\" is not valid"};
        QTest::addRow("%s, cutter off", ops[op])
            << Carriage{op, "off", none, "", failed, "Connect Error: no answer from 127.0.0.1 port "};
        // No USB cutter: no old reply may be taken for a position or a measurement.
        QTest::addRow("%s, no USB cutter", ops[op])
            << Carriage{op, "USB", none, "", failed, action + ": no USB cutter 9-9:1.0 is attached"};
        if (op == 2) // no pattern to draw: nothing is sent
            QTest::addRow("calibration, no pattern") << Carriage{op, "no pattern", none, "", pre,
                "Auto-Adjust: the calibration pattern /nonexistent/CIR.plt cannot be read ("};
        if (op < 2) {
            QTest::addRow("%s, no reply", ops[op])
                << Carriage{op, "hang up", none, "CMD:203;", error, action + ": the cutter did not answer"};
            QTest::addRow("%s, half a reply", ops[op]) << Carriage{op, "split", none, "CMD:203;", error,
                action + ": the cutter's answer \"1000\" is not a position"};
        }
    }
    const QString noMark = QStringLiteral("Auto-Adjust: the mark was not found; check the pen drawing");
    const auto calibration = [&](const QStringList &marks, const QString &sent, const QString &result) {
        QTest::newRow(qPrintable(marks.join(' ')))
            << Carriage{2, "", marks, sent, result.contains("stored as") ? done : asked, result};
    };
    calibration({"320,240,25;"}, read + "CMD:201,40,2;PU0,0;CMD:10;CMD:106;CMD:201,40,2;",
                "Auto-Adjust: camera offset stored as 40.0, 2.0 mm");
    calibration({"330,250,25;", "320,240,25;"}, oneOff + "CMD:201,39,1;", // 1 mm off
                "Auto-Adjust: camera offset stored as 39.0, 1.0 mm");
    calibration({"370,190,25;", "320,240,25;"}, // 5 mm off, the bound
                read + "CMD:201,45,-3;PU-200,200;CMD:10;CMD:106;CMD:201,45,-3;",
                "Auto-Adjust: camera offset stored as 45.0, -3.0 mm");
    calibration({"380,240,25;"}, read, noMark); // 6 mm off
    calibration({"NOMARK;"}, read, noMark);
    calibration({"330,250,0;"}, read, noMark);
    calibration({"330,250;"}, read, noMark);
    calibration({"330,250,25;", "NOMARK;"}, oneOff, // the second reading lost: the first one's result stays
                "Auto-Adjust: the second reading failed, so the first one's offset 39.0, 1.0 mm is stored");
}

void TestJobs::carriage()
{
    QFETCH(Carriage, c);
    Rig rig(c.fault == "unplug" ? U : N);
    if (c.op < 2)
        rig.sim->cutter().config().scriptedReplies = QStringList{"1000,100;"};
    rig.sim->cutter().config().markReplies = c.marks;
    if (c.fault == "unplug")
        rig.sim->cutter().config().busyMs = 1000, rig.onInstruction = [&rig](const QString &instruction) {
            if (instruction.startsWith(QLatin1String("PU")))
                rig.later(0, [&rig] { rig.bed.unplug(rig.device), rig.sim->hangUp(); });
        };
    else
        rig.host.settings.usbDevice = QStringLiteral("9-9:1.0"); // no such cutter
    rig.sim->faults().splitReplies = c.fault == "split";
    rig.host.answers = {true};
    if (c.fault == "invalid address")
        rig.host.settings.cutterAddress = QStringLiteral("127.0.0");
    if (c.fault == "off")
        rig.sim->stopListening();
    if (c.fault == "no pattern")
        rig.session->options.calibrationPatternPath = QStringLiteral("/nonexistent/CIR.plt");
    if (c.fault == "hang up") {
        rig.sim->faults().silent = true;
        QTimer::singleShot(200, rig.sim.get(), [&] { rig.sim->dropConnection(); });
    }
    const JobLink link = c.fault == "USB" || c.fault == "unplug" ? U : N;
    rig.await([&] {
        return c.op == 2 ? rig.session->autoAdjust(link)
            : c.op == 1  ? rig.session->backOrigin(link, rig.origin)
                         : rig.session->setOrigin(link);
    });
    const QString sent = rig.received();
    if (c.fault == "unplug") // polled until the device went; never told the move is done
        QVERIFY2(sent.startsWith(c.expected) && !sent.contains(QLatin1String("CMD:202")), qPrintable(sent));
    else
        QCOMPARE(c.op == 2 ? sent.mid(sent.indexOf(QLatin1String("PU0,0;CMD:10;"))) : sent, c.expected);
    QVERIFY(c.op < 2 || sent.isEmpty() || sent.startsWith(QLatin1String("IN;PA;"))); // pattern first
    QCOMPARE(rig.host.boxes, c.boxes);
    QCOMPARE(rig.origin, c.boxes == QStringList{"Set"} ? QPoint(1000, 100) : QPoint(1200, -35));
    // Every outcome is said once, failures (even those without a box) as failures.
    QCOMPARE(rig.host.results.size(), 1);
    QVERIFY2(rig.host.results.first().startsWith(c.result), qPrintable(rig.host.results.first()));
    QCOMPARE(rig.host.lastFailed,
             !c.result.startsWith("Origin") && !c.result.startsWith("Back at") && !c.result.contains("stored as"));
}

// Beside the program in the build tree, in share/cutterdesk once installed;
// when neither holds it, the failure names the place beside the program.
void TestJobs::calibrationPatternFolders()
{
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("usr/bin")), beside = bin + QStringLiteral("/CIR.plt"),
                  installed = root.filePath(QStringLiteral("usr/share/cutterdesk/CIR.plt"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(QFileInfo(installed).path()));
    QCOMPARE(calibrationPatternIn(bin), beside);
    QVERIFY(QFile::copy(QStringLiteral(CUTTERDESK_SOURCE_DIR "/jobs/CIR.plt"), installed));
    QCOMPARE(calibrationPatternIn(bin), installed);
    QVERIFY(QFile::copy(installed, beside));
    QCOMPARE(calibrationPatternIn(bin), beside);
}

// The run log itself: the line of each outcome, a line cut short by a crash
// and fields that a CSV reader gets back whole, rotation, and a log that
// cannot be written.
static RunRecord record(const QString &plotFile = QStringLiteral("/jobs/box.plt"),
                        RunRecord::Outcome outcome = RunRecord::Outcome::Cut, int mode = 3)
{
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 15, 3)); // local time
    return {start, start.addMSecs(83400), mode, QStringLiteral("1-2:1.0"), plotFile, {}, {}, outcome};
}

static const QByteArray kHeader = "start,end,mode,mode title,link,plot file,QR text,mark found,outcome,seconds\n";

void TestJobs::logLinePerOutcome()
{
    using O = RunRecord::Outcome;
    RunRecord mark = record({}, O::UncutNoMark, 8), qr = record({}, O::UncutNoQrFile, 10),
              lost = record({}, O::CutterLost, 11);
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
void TestJobs::logLineCutShort_data()
{
    QTest::addColumn<QByteArray>("cutAfter");
    QTest::newRow("in an unquoted field") << QByteArray("1-2:");
    QTest::newRow("in a quoted field") << QByteArray("1-2:1.0,\"a ");
    QTest::newRow("between two quotes that stand for one") << QByteArray("1-2:1.0,\"a \"");
    QTest::newRow("after a line break in a quoted field") << QByteArray(",\n");
    QTest::newRow("before the line end") << QByteArray("cut,83.4");
}

void TestJobs::logLineCutShort()
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
void TestJobs::logRotation()
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
void TestJobs::logCannotBeWritten()
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

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
