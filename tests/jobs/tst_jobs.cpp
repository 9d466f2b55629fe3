// The job procedures against the simulated cutter: the twelve single-sheet
// ones over the network link on loopback and over the USB link, the six
// auto-feed ones over USB (a mocked udev tree whose device node is the
// simulator's pty; run under umockdev-wrapper), the origin commands and the
// calibration.
// Everything runs as in the program: the procedures on the cutter session's
// thread, the host and the simulated cutter on this one.
// The links' polls, the procedures' pauses and the feed interval are shortened
// unless a test measures them.
#include "../link/mockusb.h" // first: before any Qt header

#include "autofeed.h"
#include "csvreader.h"
#include "cutterjobs.h"
#include "cuttersession.h"
#include "sheet.h"
#include "simserver.h"

#include <QRegularExpression>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The main window's part: settings as plain values, the state label and the
// message boxes recorded, the operator at the questions (and, through the
// rig, at the trigger).
class FakeHost : public JobHost
{
public:
    JobSettings settings;
    QStringList states;
    QStringList boxes;
    QStringList results; // the result line, one per action
    bool lastFailed = false;
    QList<bool> answers; // OK or Cancel to the questions, Cancel once used up
    std::function<void()> onAsk;
    QList<PlotPathList> previews;
    int presses = 0; // the trigger is pressed this often, then the job is stopped
    int triggerWaits = 0;

    JobSettings jobSettings() const override { return settings; }
    void showJobState(const QString &text) override { states << text; }
    void showResult(const QString &text, bool failed) override
    {
        results << text;
        lastFailed = failed;
    }
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
    return header
        + QStringLiteral("\nSP1;\nPU400,1000;PD3600,1000;\nSP2;\n"
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
        sim = std::make_unique<CutterSimServer>();
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
        host.settings.feed.sheetsLeft = 3;
        host.settings.feed.feedDistMm = 300;
        host.settings.feed.ejectDistMm = 400;
        host.settings.feed.feedIntervalSecs = 0;
        usePlots();
        // On the simulator's thread, before the session hears back.
        sim->setInstructionHook([this](const QString &instruction) {
            if (onInstruction)
                onInstruction(instruction);
        });
        // The operator presses the trigger `presses` times, then Stop.
        QObject::connect(session.get(), &CutterSession::triggerArmed, session.get(), [this](bool armed) {
            if (!armed)
                return;
            ++host.triggerWaits;
            if (host.presses-- > 0)
                session->trigger();
            else
                stop();
        });
        QObject::connect(session.get(), &CutterSession::originStored, session.get(), [this](QPoint at) { origin = at; });
        clock.start();
        // A job that waits for a reply which never comes is stopped, so it
        // fails its checks instead of hanging the test.
        watchdog.setSingleShot(true);
        watchdog.callOnTimeout([this] { stop(); });
        watchdog.start(kWatchdogMs);
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
    std::unique_ptr<CutterSimServer> sim;
    std::unique_ptr<CutterSession> session;
    QPoint origin{1200, -35}; // what Set Origin stored
    QElapsedTimer clock;
    QTimer watchdog;
    int mark = -1; // what a test notes, for example where something happened
    std::function<void(const QString &)> onInstruction;
};

const JobLink U = JobLink::Usb;
const JobLink N = JobLink::Network;

// The matrix moves: a knife-up move followed by the status poll (inside a
// job text a move is followed by more plotting).
QStringList moves(const QString &received)
{
    static const QRegularExpression move(
        QStringLiteral("SP2;PU-?[0-9.e+]+,-?[0-9.e+]+;(?=CMD:10;)"));
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
const QString kPaper = QStringLiteral("CMD:108;");
const QString kFeed = QStringLiteral("CMD:109,0,0,0,0;CMD:105,300;");
const QString kIn = QStringLiteral("CMD:5;");
const QString kPlace = QStringLiteral("PU120,7800;CMD:10;");
const QString kRelease = QStringLiteral("CMD:6;CMD:111;");
const QString kMd = QStringLiteral("MD0,0,4000,3000,4;");
const QString kQrMd = QStringLiteral("MD0,0,4000,3000,5;");

// A run with its settings and the cutter's replies, then: a piece of what
// must be sent, the sheets ('+' cut, '-' moved out uncut), the boxes shown,
// and any further check.
struct Case
{
    JobLink link;
    int mode;
    std::function<void(Rig &)> setUp;
    QString sent;
    QString sheets;
    QStringList boxes = {};
    std::function<void(Rig &)> check = {};
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachModeSendsItsSheets_data();
    void eachModeSendsItsSheets();
    void runs_data();
    void runs();
    void runLog_data();
    void runLog();
    void closingEndsTheJobAtOnce();
    void timeLeft();
    void carriage_data();
    void carriage();
    void calibrationPatternFolders();
};

void TestJobs::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
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
            const QString plot = outerFirstPlot(mode >= 4 ? kQrMd : kMd);
            const QString text = prepareSheet(plot, options).jobText;
            const QString sent = QString(mode % 2 ? "CMD:203;" : "") + (mode > 3 ? "CMD:101;" : "")
                + text + "CMD:10;";
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
        const QString sheet =
            kIn + kPaper + "%1" + kPlace + cut + kRelease + "CMD:105,300;" + kPaper;
        return kPaper + kFeed + kPaper + sheet.arg("CMD:110;").repeated(sheets - 1)
            + sheet.arg(preFeedLast ? "CMD:110;" : "");
    };
    QTest::newRow("6 blank, single feed") << 6 << false << 3 << single(blank, "CMD:105,400;");
    QTest::newRow("7 blank, while cutting") << 7 << false << 3 << whileCutting(blank, 3, true);
    QTest::newRow("8 file, single feed") << 8 << false << 3 << single(mark, "CMD:105,400;");
    QTest::newRow("9 file, while cutting") << 9 << false << 3 << whileCutting(mark, 3, false);
    QTest::newRow("10 QR, single feed") << 10 << false << 3 << single(qr, "CMD:105,300;");
    QTest::newRow("11 QR, while cutting") << 11 << false << 3 << whileCutting(qr, 3, false);
    // Mode 7 pre-feeds whenever the container has paper, 9 and 11 not for the last sheet.
    QTest::newRow("7, count 1") << 7 << false << 1 << whileCutting(blank, 1, true);
    QTest::newRow("9, count 1") << 9 << false << 1 << whileCutting(mark, 1, false);
    QTest::newRow("11, count 1") << 11 << false << 1 << whileCutting(qr, 1, false);
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
    const QString shown = jobText(10, outerFirstPlot(kQrMd)); // the job cut, as the preview shows
    QVERIFY(previews == 0 || rig.host.previews.first() == PltSolve().parsePaths(shown));
    // The result line: why nothing was sent, or how the job ended.
    QCOMPARE(rig.host.results.size(), 1);
    const QString result = rig.host.results.first();
    QString ending = QStringLiteral("Finished (");
    if (count < 0)
        ending = QStringLiteral("Not started: base.plt does not begin with an MD instruction");
    else if (mode >= 6)
        ending = count ? QStringLiteral("Finished: %1 sheets cut (").arg(count) : "Nothing to do: Count is 0";
    else if (mode % 2)
        ending = QStringLiteral("Stopped by the operator ("); // a matrix ends at the trigger
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
    // The cutter's QR codes in turn for `count` sheets (see usePlots for the files).
    const auto codes = [](const QStringList &texts, int count) {
        return [=](Rig &r) {
            r.sim->cutter().config().qrReplies = texts;
            r.host.settings.feed.sheetsLeft = count;
        };
    };
    const int mode6 = 6;
    const int mode7 = 7;

    // Single-sheet jobs: rotation and passes as set; a QR text naming no file
    // in the plot file's folder cuts nothing; in mode 5 "NOQR;" keeps the last
    // file and a missing one gives no sheet, but the wait and the move come.
    QTest::newRow("mark, rotated, no passes") << Case{N, 2, [](Rig &r) {
        r.host.settings.rotate = true;
        r.host.settings.creasePasses = r.host.settings.cutPasses = 0;
    }, "MD0,0,3000,4000,4;!PG;CMD:10;", "-"};
    const QStringList unsafe{"../base", "sub/inner", "a\\b", "job7\n", "job7\x7f"};
    for (int i = 0; i < unsafe.size(); ++i)
        QTest::addRow("QR text %d", i)
            << Case{N, 4, codes({unsafe[i]}, 1), "CMD:101;", ""};
    QTest::newRow("QR matrix") << Case{N, 5, [=](Rig &r) {
        codes({"NOQR;", "job7", "NOQR;", "missing", "NOQR;"}, 1)(r);
        r.host.presses = 4;
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
                replies << (moved.isEmpty() ? QStringList{"FREE;"}
                                            : QStringList{"0,0;", "FREE;", "OK;", "FREE;"});
        }, "", QString(presses + 1, '+'), {}, [=](Rig &r) {
            QCOMPARE(moves(r.received()), moved);
            // Between two sheets: which place comes next.
            const int places = qMax(1, int(moved.size()));
            for (int sheet = 1; sheet <= presses + 1; ++sheet) {
                const QString next = QStringLiteral("Sheet %1 done; next: place %2 of %3. Press Space or Volume Up (")
                                         .arg(sheet).arg(sheet % places + 1).arg(places);
                QVERIFY2(!r.host.states.filter(next).isEmpty(), qPrintable(next));
            }
            QCOMPARE(r.sim->cutter().instructions().count(QLatin1String("CMD:202")), moved.size());
        }};
    };
    QTest::newRow("matrix of four") << matrix(
        MatrixLayout::Four, {"SP2;PU0,3100;", "SP2;PU4200,3100;", "SP2;PU4200,0;", "SP2;PU0,0;"});
    QTest::newRow("matrix of two") << matrix(MatrixLayout::Two, {"SP2;PU4200,0;", "SP2;PU0,0;"});
    QTest::newRow("matrix of one") << matrix(MatrixLayout::One, {"SP2;PU0,0;"});
    QTest::newRow("no matrix selected") << matrix(MatrixLayout::None, {});

    // Auto-feed: the start position (d / 2 truncated; the QR modes take the
    // size from the plot file) and the smart search over P1..P4.
    const int file = 8;
    QTest::newRow("d 3001") << Case{U, mode6, [](Rig &r) { r.usePlots("MD0,0,4000,3001,3;"); },
        kIn + kPlace, "+"};
    QTest::newRow("QR, rotated plot file") << Case{U, 10, [](Rig &r) {
        r.usePlots("MD0,0,4000,3001,5;");
        r.host.settings.rotate = true;
    }, kIn + "PU120,7300;CMD:10;", "+"};
    QTest::newRow("no mark: stays at P4")
        << Case{U, file, [](Rig &r) { r.host.settings.feed.smartScan = true; },
                "PU120,7800;CMD:10;CMD:106;PU120,8400;CMD:10;CMD:106;PU520,8400;CMD:10;CMD:106;"
                "PU520,7800;CMD:10;CMD:106;CMD:202;" + kMd, "+"};

    // Auto-feed: an unregistered sheet leaves uncut (after a pause in modes 8
    // and 9) and is counted; the QR modes select files as mode 5 does; mode
    // 11 takes an unanswered pre-feed check as paper after a second.
    const int qr11 = 11;
    QTest::newRow("8, no mark") << Case{U, file, [](Rig &r) {
        r.sim->cutter().config().mdReplies = QStringList{"NOMARK;", "MD_OK;"};
        r.host.settings.feed.sheetsLeft = 2;
        r.session->options.autoFeedPauses.beforeUncutEject = 1000;
    }, kMd + "!PG;CMD:10;" + kRelease, "-+", {}, took(1000)};
    QTest::newRow("11, no code, then one kept")
        << Case{U, qr11, codes({"NOQR;", "job7", "NOQR;"}, 3), "", "-++"};
    QTest::newRow("11, a missing file is not kept")
        << Case{U, qr11, codes({"job7", "missing", "NOQR;"}, 3), "", "+--"};
    QTest::newRow("11, leaving the folder, no MD")
        << Case{U, qr11, codes({"../base", "job7", "plain"}, 3), "", "-+-"};
    QTest::newRow("11, pre-feed check unanswered") << Case{U, qr11, [](Rig &r) {
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
    QTest::newRow("6, interval") << Case{U, mode6, feed(9, 3, {}, 1), "", "+++", {}, took(1900)};
    QTest::newRow("7, interval") << Case{U, mode7, feed(9, 3, {}, 1), "", "+++", {}, took(2900)};
    QTest::newRow("6, Cancel ends") << Case{U, mode6, feed(1, 3, {}), "", "+", {"No Paper..."}};
    QTest::newRow("7, Cancel ends") << Case{U, mode7, feed(2, 4, {}), "", "++", {"No Paper..."}};
    QTest::newRow("7, OK feeds from the container") << Case{U, mode7, feed(2, 4, {true}),
        "CMD:105,300;" + kPaper + kFeed + kPaper + kIn, "++++", {"No Paper..."}};
    QTest::newRow("7, nothing left: no box") << Case{U, mode7, feed(2, 2, {}), "", "++"};

    // Once the cutter has answered the instruction `at`, Stop is pressed (the
    // cutter busy 1.2 s with each sheet), or the cutter falls silent and Stop
    // follows, or it hangs up before its next reply, or the USB cutter is
    // unplugged. A live cutter finishes its sheet; a silent one is abandoned
    // at once; no reply is made up (a position query left unanswered must not
    // move the carriage); a sheet not finished is not counted. `after`: all
    // that is sent from then on.
    const auto interrupted = [](JobLink link, int run, const QString &at,
                                const QString &kind, const QString &after, const QString &sheets,
                                int waits) {
        const auto setUp = [=](Rig &r) {
            r.host.settings.feed.sheetsLeft = 3;
            r.host.presses = 1;
            r.sim->cutter().config().busyMs = kind == "stop" ? 1200 : 0;
            // Unplugged by the device itself once it has answered `at` (the
            // sixth command of a sheet), on its own thread; the hook below tidies the udev tree.
            r.sim->faults().dropAfter = kind == "unplug" ? 6 : 0;
            r.onInstruction = [&r, at, kind](const QString &instruction) {
                if (r.mark >= 0 || instruction != at)
                    return;
                r.mark = r.received().size();
                if (kind == "stop")
                    r.stop();
                r.sim->faults().silent = kind == "silent" || kind == "hang up";
                if (kind == "silent")
                    r.later(200, [&r] { r.stop(); });
                if (kind == "hang up") // the connection drops instead of the next reply
                    r.later(200, [&r] {
                        r.sim->dropConnection();
                        r.sim->faults().silent = false;
                    });
                if (kind == "unplug")
                    r.later(0, [&r] {
                        r.bed.unplug(r.device);
                        r.sim->hangUp();
                    });
            };
        };
        return Case{link, run, setUp, "", sheets, {}, [=](Rig &r) {
            QVERIFY(r.mark >= 0);
            QVERIFY(r.clock.elapsed() < CutterLink::kSilenceMs + 2000);
            QVERIFY(kind != "stop" || r.clock.elapsed() >= 1000); // waited, not abandoned
            QCOMPARE(r.host.triggerWaits, waits);
            const bool lost = kind == "silent" || kind == "hang up";
            QCOMPARE(r.host.states.contains("Waiting for the cutter..."), lost);
            const QString sent = r.received().mid(r.mark);
            const QRegularExpression all(QRegularExpression::anchoredPattern(after));
            QVERIFY2(all.match(sent).hasMatch(), qPrintable(sent));
            const QString ended = kind == "stop" ? "Stopped by the operator (" // a live cutter: its sheet is finished
                : kind == "unplug"                ? "Ended: the USB cutter is gone ("
                                                  : "Ended: the cutter stopped answering (";
            QVERIFY2(r.host.results.value(0).startsWith(ended), qPrintable(r.host.results.value(0)));
            if (kind == "unplug") { // plugged back under another node: the same link cuts again
                r.sim->faults().dropAfter = 0;
                r.sim->usbNode()->plug();
                r.bed.plug("1-2", "lp1", 1, r.sim->usbNode()->path());
                r.onInstruction = nullptr;
                r.host.settings.feed.sheetsLeft = 1;
                r.run(run, link);
                QCOMPARE(r.sheets(), QStringLiteral("+"));
                QCOMPARE(r.sheetsLeft(), 0);
            }
        }};
    };
    QTest::newRow("Stop during a matrix sheet")
        << interrupted(N, 3, "!PG", "stop", "(CMD:10;)+", "+", 0);
    QTest::newRow("Stop during an auto-feed sheet") << interrupted(U, file, "CMD:202", "stop",
        ".*!PG;(CMD:10;)+CMD:6;CMD:111;CMD:105,400;", "+", 0);
    QTest::newRow("silent after a sheet")
        << interrupted(N, 2, "!PG", "silent", "CMD:10;", "+", 0);
    QTest::newRow("no reply to the position query")
        << interrupted(N, 3, "CMD:10", "hang up", "CMD:203;", "+", 1);
    QTest::newRow("silent at the pre-feed check")
        << interrupted(U, 9, "CMD:5", "silent", "CMD:108;", "", 0);
    QTest::newRow("unplugged during the cut")
        << interrupted(U, mode6, "CMD:202", "unplug", ".*", "", 0);
}

void TestJobs::runs()
{
    QFETCH(Case, c);
    Rig rig(c.link);
    rig.host.settings.feed.sheetsLeft = 1;
    int atBox = -1;
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
    if (c.link == U) // auto-feed: every sheet out is counted
        QCOMPARE(rig.sheetsLeft(), count - int(c.sheets.size()));
    if (c.link == U && count > 0 && rig.sheetsLeft() == 0) { // a run that used up its count says what it did
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

// One line per sheet, as it ends: what was cut where, from which file and
// code, and how the sheet ended; a log that cannot be written leaves the run
// going and is said with its result.
void TestJobs::runLog_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<QStringList>("lines"); // per sheet: mode, link, file, QR text, mark, outcome
    const QString base = QStringLiteral("base.plt");
    const QString job7 = QStringLiteral("job7.plt");
    QTest::newRow("one sheet") << Case{N, 0, [](Rig &) {}, "", "+"}
                               << QStringList{"01|127.0.0.1|" + base + "|||cut"};
    QTest::newRow("QR, one sheet") << Case{N, 4, [](Rig &) {}, "", "+"}
                                   << QStringList{"05|127.0.0.1|" + job7 + "|job7|yes|cut"};
    QTest::newRow("auto-feed, no mark") << Case{U, 8, [](Rig &r) {
        r.sim->cutter().config().mdReplies = QStringList{"NOMARK;", "MD_OK;"};
        r.host.settings.feed.sheetsLeft = 2;
    }, "", "-+"} << QStringList{"09|1-2:1.0|" + base + "||no|uncut: no mark", "09|1-2:1.0|" + base + "||yes|cut"};
    QTest::newRow("auto-feed, QR") << Case{U, 11, [](Rig &r) {
        r.sim->cutter().config().qrReplies = QStringList{"NOQR;", "job7", "NOQR;"};
        r.host.settings.feed.sheetsLeft = 3;
    }, "", "-++"} << QStringList{"12|1-2:1.0||NOQR;||uncut: no QR file", "12|1-2:1.0|" + job7 + "|job7|yes|cut",
                                 "12|1-2:1.0|" + job7 + "|NOQR;|yes|cut"};
    QTest::newRow("unplugged during the cut") << Case{U, 6, [](Rig &r) {
        r.sim->faults().dropAfter = 6; // at "CMD:202;", before the job text
        r.onInstruction = [&r](const QString &instruction) {
            if (instruction == QLatin1String("CMD:202"))
                r.later(0, [&r] { r.bed.unplug(r.device); r.sim->hangUp(); });
        };
    }, "", ""} << QStringList{"07|1-2:1.0|" + base + "|||cutter lost"};
    QTest::newRow("log cannot be written") << Case{N, 0, [](Rig &r) {
        r.writePlot("log", "a file where the folder would be");
    }, "", "+"} << QStringList();
}

void TestJobs::runLog()
{
    QFETCH(Case, c);
    QFETCH(QStringList, lines);
    Rig rig(c.link);
    rig.host.settings.feed.sheetsLeft = 1;
    c.setUp(rig);
    rig.run(c.mode, c.link);
    QCOMPARE(rig.sheets(), c.sheets);
    QFile file(rig.dir.filePath(QStringLiteral("log/runs.csv")));
    const QString result = rig.host.results.value(0);
    if (lines.isEmpty()) { // the run went on; its result says why nothing was logged
        QVERIFY(!file.exists());
        QVERIFY2(result.startsWith("Finished (") && result.contains("; the run log could not be written: "),
                 qPrintable(result));
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Rows rows = readCsv(file.readAll());
    QCOMPARE(rows.size(), lines.size() + 1); // the header first
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList &row = rows.at(i + 1);
        const QStringList got{row.value(2), row.value(4), QFileInfo(row.value(5)).fileName(), row.value(6),
                              row.value(7), row.value(8)};
        QCOMPARE(got.join('|'), lines.at(i));
        QVERIFY(QDateTime::fromString(row.value(0), Qt::ISODate) <= QDateTime::fromString(row.value(1), Qt::ISODate));
    }
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
    QFile log(rig.dir.filePath(QStringLiteral("log/runs.csv")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(readCsv(log.readAll()).value(1).value(8), QStringLiteral("stopped"));
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
    QTest::addColumn<int>("op"); // set, back, calibration
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("marks");
    QTest::addColumn<QString>("expected"); // calibration: from the move under the camera
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("result"); // how the result line begins
    const char *ops[] = {"set", "back", "calibration"};
    const QStringList none;
    const QStringList error{"Connect Error!"};
    const QStringList asked{"Start Auto-Adjust"};
    const QStringList done = asked + QStringList{"Auto-Adjust Completed!"};
    const QString read = QStringLiteral("PU0,0;CMD:10;CMD:106;");
    const QString oneOff = read + "CMD:201,39,1;PU40,40;CMD:10;CMD:106;";
    const char *actions[] = {"Set Origin", "Back Origin", "Auto-Adjust"};
    QTest::newRow("set") << 0 << false << "" << none << "CMD:203;" << QStringList{"Set"}
                         << "Origin stored: 1000, 100";
    QTest::newRow("back") << 1 << false << "" << none << "CMD:203;SP2;PU200,-135;CMD:10;CMD:202;"
                          << QStringList{"Back"} << "Back at the origin 1200, -35";
    for (int op = 0; op < 3; ++op) {
        const QStringList pre = op == 2 ? asked : none;
        const QStringList failed = pre + error;
        const QString action = QString::fromLatin1(actions[op]);
        QTest::addRow("%s, invalid address", ops[op]) << op << false << "invalid address" << none << ""
            << pre << action + ": the cutter address \"127.0.0\" is not valid";
        QTest::addRow("%s, cutter off", ops[op]) << op << false << "off" << none << "" << failed
            << "Connect Error: no answer from 127.0.0.1 port ";
        // No USB cutter: no old reply may be taken for a position or a measurement.
        QTest::addRow("%s, no USB cutter", ops[op]) << op << true << "" << none << "" << failed
            << action + ": no USB cutter 9-9:1.0 is attached";
        if (op == 2) // no pattern to draw: nothing is sent
            QTest::addRow("calibration, no pattern") << op << false << "no pattern" << none << "" << pre
                << "Auto-Adjust: the calibration pattern /nonexistent/CIR.plt cannot be read (";
        if (op < 2)
            QTest::addRow("%s, no reply", ops[op]) << op << false << "hang up" << none << "CMD:203;"
                << error << action + ": the cutter did not answer";
    }
    const QString noMark = QStringLiteral("Auto-Adjust: the mark was not found; check the pen drawing");
    const auto calibration = [&](const QStringList &marks, const QString &sent, const QString &result) {
        QTest::newRow(qPrintable(marks.join(' ')))
            << 2 << false << "" << marks << sent << (result == noMark ? asked : done) << result;
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
    calibration({"330,250,25;", "NOMARK;"}, oneOff, noMark); // the second reading lost
}

void TestJobs::carriage()
{
    QFETCH(int, op);
    QFETCH(bool, usb);
    QFETCH(QString, fault);
    QFETCH(QStringList, marks);
    QFETCH(QString, expected);
    QFETCH(QStringList, boxes);
    QFETCH(QString, result);
    Rig rig;
    if (op < 2)
        rig.sim->cutter().config().scriptedReplies = QStringList{"1000,100;"};
    rig.sim->cutter().config().markReplies = marks;
    rig.host.settings.usbDevice = QStringLiteral("9-9:1.0");
    rig.host.answers = {true};
    if (fault == QLatin1String("invalid address"))
        rig.host.settings.cutterAddress = QStringLiteral("127.0.0");
    if (fault == QLatin1String("off"))
        rig.sim->stopListening();
    if (fault == QLatin1String("no pattern"))
        rig.session->options.calibrationPatternPath = QStringLiteral("/nonexistent/CIR.plt");
    if (fault == QLatin1String("hang up")) {
        rig.sim->faults().silent = true;
        QTimer::singleShot(200, rig.sim.get(), [&] { rig.sim->dropConnection(); });
    }
    const JobLink link = usb ? U : N;
    rig.await([&] {
        return op == 2 ? rig.session->autoAdjust(link)
            : op == 1  ? rig.session->backOrigin(link, rig.origin)
                       : rig.session->setOrigin(link);
    });
    const QString sent = rig.received();
    QCOMPARE(op == 2 ? sent.mid(sent.indexOf(QLatin1String("PU0,0;CMD:10;"))) : sent, expected);
    QVERIFY(op < 2 || sent.isEmpty() || sent.startsWith(QLatin1String("IN;PA;"))); // pattern first
    QCOMPARE(rig.host.boxes, boxes);
    QCOMPARE(rig.origin, boxes == QStringList{"Set"} ? QPoint(1000, 100) : QPoint(1200, -35));
    // Every outcome is said once, failures (even those without a box) as failures.
    QCOMPARE(rig.host.results.size(), 1);
    QVERIFY2(rig.host.results.first().startsWith(result), qPrintable(rig.host.results.first()));
    QCOMPARE(rig.host.lastFailed, !result.startsWith("Origin") && !result.startsWith("Back at")
                                      && !result.contains("stored as"));
}

// Beside the program in the build tree, in share/cutterdesk once installed;
// when neither holds it, the failure names the place beside the program.
void TestJobs::calibrationPatternFolders()
{
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    const QString installed = root.filePath(QStringLiteral("usr/share/cutterdesk/CIR.plt"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(QFileInfo(installed).path()));
    const QString beside = bin + QStringLiteral("/CIR.plt");
    QCOMPARE(calibrationPatternIn(bin), beside);
    QVERIFY(QFile::copy(QStringLiteral(CUTTERDESK_SOURCE_DIR "/jobs/CIR.plt"), installed));
    QCOMPARE(calibrationPatternIn(bin), installed);
    QVERIFY(QFile::copy(installed, beside));
    QCOMPARE(calibrationPatternIn(bin), beside);
}

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
