// The job procedures against the simulated cutter: the twelve single-sheet
// ones over the network link on loopback and over the USB link, the six
// auto-feed ones over USB (a mocked udev tree whose device node is the
// simulator's pty; run under umockdev-wrapper), the origin commands and the
// calibration.
// The links' polls, the procedures' pauses and the feed interval are shortened
// unless a test measures them.
#include "../link/mockusb.h" // first: before any Qt header

#include "autofeed.h"
#include "cutterjobs.h"
#include "rj45socket.h"
#include "sheet.h"
#include "simserver.h"
#include "triggerkeys.h"
#include "usboperate.h"

#include <QRegularExpression>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The main window's part: settings as plain values, the state label and the
// message boxes recorded, the operator at the trigger and at the questions.
class FakeHost : public JobHost
{
public:
    JobSettings settings;
    bool running = true;
    QStringList states;
    QStringList boxes;
    QList<bool> answers; // OK or Cancel to the questions, Cancel once used up
    std::function<void()> onAsk;
    QList<PlotPathList> previews;
    int presses = 0; // the trigger is pressed this often, then the job is stopped
    int triggerWaits = 0;

    JobSettings jobSettings() const override { return settings; }
    bool jobRunning() const override { return running; }
    void showJobState(const QString &text) override
    {
        states << text;
        if (!text.contains(QLatin1String("Waiting for the trigger")))
            return;
        QTimer::singleShot(0, [this] { // inside the wait, if there is one
            if (!TriggerKeys::armed())
                return;
            ++triggerWaits;
            if (presses-- > 0)
                TriggerKeys::keyDown();
            else
                running = false;
        });
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
    explicit Rig(JobLink link = JobLink::Network, int busyMs = 0)
    {
        SimConfig config;
        config.busyMs = busyMs;
        sim = std::make_unique<CutterSimServer>(config);
        sim->listen(QHostAddress::LocalHost, 0);
        net = std::make_unique<RJ45Socket>(nullptr, sim->serverPort());
        usb.pollPauseMs = net->pollPauseMs = 10;
        jobs = std::make_unique<CutterJobs>(host, usb, *net);
        jobs->autoFeedPauses = AutoFeedPauses{1, 1, 1};
        jobs->calibrationPatternPath = QStringLiteral(CUTTERDESK_SOURCE_DIR "/jobs/CIR.plt");
        host.settings.cutterAddress = QStringLiteral("127.0.0.1");
        host.settings.feed.sheetsLeft = 3;
        host.settings.feed.feedDistMm = 300;
        host.settings.feed.ejectDistMm = 400;
        host.settings.feed.feedIntervalSecs = 0;
        usePlots();
        if (link == JobLink::Usb) {
            device = bed.plug("1-2", "lp0", 0, sim->openPty());
            usb.setDevice(QStringLiteral("1-2:1.0")); // the runner's step
        }
        QObject::connect(sim.get(), &CutterSimServer::instructionsReceived, sim.get(), [this](int total) {
            for (; seen < total; ++seen) {
                if (onInstruction)
                    onInstruction(sim->cutter().instructions().at(seen));
            }
        });
        clock.start();
    }

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
    void run(JobProcedure procedure) { (jobs.get()->*procedure)(); }
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
    UsbOperate usb;
    std::unique_ptr<RJ45Socket> net;
    std::unique_ptr<CutterJobs> jobs;
    QElapsedTimer clock;
    int seen = 0;
    std::function<void(const QString &)> onInstruction;
};

const JobLink U = JobLink::Usb;
const JobLink N = JobLink::Network;

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

// Whether the single-sheet procedure of mode 0..5 orders inner paths first,
// over USB and over the network.
const bool kInnerFirst[6][2] = {{true, false}, {false, true}, {true, true},
                                {false, true}, {true, true},  {true, true}};

QString feedJobText(int mode, const QString &plot)
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
const QString kPreFeed = QStringLiteral("CMD:110;");
const QString kMd = QStringLiteral("MD0,0,4000,3000,4;");
const QString kQrMd = QStringLiteral("MD0,0,4000,3000,5;");

// A run with its settings and the cutter's replies, then: a piece of what
// must be sent, the sheets ('+' cut, '-' moved out uncut), the boxes shown,
// and any further check.
struct Case
{
    JobLink link;
    JobProcedure run;
    std::function<void(Rig &)> setUp;
    QString sent;
    QString sheets;
    QStringList boxes = {};
    std::function<void(Rig &)> check = {};
};

} // namespace

Q_DECLARE_METATYPE(JobProcedure)
Q_DECLARE_METATYPE(JobLink)
Q_DECLARE_METATYPE(MatrixLayout)
Q_DECLARE_METATYPE(Case)

class TestJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachProcedureSendsItsSheet_data();
    void eachProcedureSendsItsSheet();
    void eachFeedModeRunsItsSheets_data();
    void eachFeedModeRunsItsSheets();
    void edgeCases_data();
    void edgeCases();
    void interruptions_data();
    void interruptions();
    void carriage_data();
    void carriage();
};

void TestJobs::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

void TestJobs::eachProcedureSendsItsSheet_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<bool>("header");
    for (int mode = 0; mode < 6; ++mode) {
        for (const bool usb : {true, false}) {
            const char *link = usb ? "USB" : "RJ45";
            QTest::addRow("%d, %s", mode, link) << mode << usb << true;
            QTest::addRow("%d, %s, plot file without MD", mode, link) << mode << usb << false;
        }
    }
}

void TestJobs::eachProcedureSendsItsSheet()
{
    QFETCH(int, mode);
    QFETCH(bool, usb);
    QFETCH(bool, header);
    Rig rig(usb ? U : N);
    if (!header)
        rig.usePlots(QString());
    rig.run(procedureFor(mode, QString(usb ? "USB" : "RJ45")));
    const bool matrix = mode % 2 == 1;
    const bool qr = mode >= 4;
    QCOMPARE(rig.host.triggerWaits, header && matrix ? 1 : 0);
    SheetOptions options;
    options.sendHeader = mode >= 2;
    options.forceQrDigit = qr;
    options.orderInnerFirst = kInnerFirst[mode][usb ? 0 : 1];
    // The QR modes cut job7.plt, whose header ends in ",5;": sent as ",4;".
    const QString text = prepareSheet(outerFirstPlot(qr ? kQrMd : kMd), options).jobText;
    const QString expected = QString(matrix ? "CMD:203;" : "") + (qr ? "CMD:101;" : "") + text + "CMD:10;";
    QCOMPARE(rig.received(), header ? expected : QString());
    QCOMPARE(rig.received().contains(QRegularExpression("(^|;)MD")), header && options.sendHeader);
}

void TestJobs::eachFeedModeRunsItsSheets_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("header"); // of the plot file
    QTest::addColumn<QString>("expected");
    const QString blank = "CMD:202;" + feedJobText(6, outerFirstPlot()) + "CMD:10;";
    const QString mark = "CMD:202;" + feedJobText(8, outerFirstPlot()) + "CMD:10;";
    // job7.plt's header ends in ",5;": sent as ",4;".
    const QString qr = "CMD:101;CMD:202;" + feedJobText(10, outerFirstPlot(kQrMd)) + "CMD:10;";
    const auto single = [](const QString &cut, const QString &lastMove) {
        return QString(kPaper + kFeed + kIn + kPlace + cut + kRelease + lastMove).repeated(3);
    };
    // The first sheet comes from the container, the others by pre-feed; the
    // container is asked again after each sheet.
    const auto whileCutting = [](const QString &cut, int sheets, bool preFeedLast) {
        const QString sheet = kIn + kPaper + "%1" + kPlace + cut + kRelease + "CMD:105,300;" + kPaper;
        return kPaper + kFeed + kPaper + sheet.arg(kPreFeed).repeated(sheets - 1)
            + sheet.arg(preFeedLast ? kPreFeed : QString());
    };
    QTest::newRow("6 blank, single feed") << 6 << 3 << kMd << single(blank, "CMD:105,400;");
    QTest::newRow("7 blank, feed while cutting") << 7 << 3 << kMd << whileCutting(blank, 3, true);
    QTest::newRow("8 file, single feed") << 8 << 3 << kMd << single(mark, "CMD:105,400;");
    QTest::newRow("9 file, feed while cutting") << 9 << 3 << kMd << whileCutting(mark, 3, false);
    QTest::newRow("10 QR, single feed") << 10 << 3 << kMd << single(qr, "CMD:105,300;");
    QTest::newRow("11 QR, feed while cutting") << 11 << 3 << kMd << whileCutting(qr, 3, false);
    // Mode 7 pre-feeds whenever the container has paper, 9 and 11 not for the last sheet.
    QTest::newRow("7, count 1") << 7 << 1 << kMd << whileCutting(blank, 1, true);
    QTest::newRow("9, count 1") << 9 << 1 << kMd << whileCutting(mark, 1, false);
    QTest::newRow("11, count 1") << 11 << 1 << kMd << whileCutting(qr, 1, false);
    for (int mode = 6; mode <= 11; ++mode) {
        QTest::addRow("%d, count 0", mode) << mode << 0 << kMd << QString();
        QTest::addRow("%d, plot file without MD", mode) << mode << 3 << QString() << QString();
    }
}

void TestJobs::eachFeedModeRunsItsSheets()
{
    QFETCH(int, mode);
    QFETCH(int, count);
    QFETCH(QString, header);
    QFETCH(QString, expected);
    Rig rig(U);
    rig.host.settings.feed.sheetsLeft = count;
    rig.usePlots(header);
    rig.run(procedureFor(mode, QStringLiteral("RJ45"))); // over USB whatever the link type
    QCOMPARE(rig.received(), expected);
    QCOMPARE(rig.sheetsLeft(), expected.isEmpty() ? count : 0);
    const int previews = mode >= 10 && !expected.isEmpty() ? count : 0;
    QCOMPARE(rig.host.previews.size(), previews);
    if (previews > 0)
        QCOMPARE(rig.host.previews.first(), PltSolve().parsePaths(feedJobText(10, outerFirstPlot(kQrMd))));
}

void TestJobs::edgeCases_data()
{
    QTest::addColumn<Case>("c");
    const auto design = [](const QString &header, bool rotate) {
        return [=](Rig &r) {
            r.usePlots(header);
            r.host.settings.rotate = rotate;
        };
    };
    const auto codes = [](const QStringList &texts, int count) {
        return [=](Rig &r) {
            r.sim->cutter().config().qrReplies = texts;
            r.host.settings.feed.sheetsLeft = count;
        };
    };
    // Sheets in the container, sheets to cut, answers to "No Paper...".
    const auto media = [](int inContainer, int count, QList<bool> answers) {
        return [=](Rig &r) {
            r.sim->cutter().config().sheets = inContainer;
            r.host.settings.feed.sheetsLeft = count;
            r.host.answers = answers;
        };
    };
    const auto took = [](int ms) { return [=](Rig &r) { QVERIFY(r.clock.elapsed() >= ms); }; };
    const QString p2 = QStringLiteral("PU120,8400;CMD:10;");
    const QString p3 = QStringLiteral("PU520,8400;CMD:10;");
    const QString p4 = QStringLiteral("PU520,7800;CMD:10;");
    const QString m = QStringLiteral("CMD:106;");
    const QString q = QStringLiteral("CMD:101;");
    const QString md = "CMD:202;" + kMd;
    const QString uncut = kMd + "!PG;CMD:10;" + kRelease;
    const QStringList paper{"No Paper..."};
    const JobProcedure blank = &CutterJobs::afBlankSingleFeed;
    const JobProcedure blank7 = &CutterJobs::afBlankFeedWhileCut;
    const JobProcedure file = &CutterJobs::afFileSingleFeed;
    const JobProcedure qr11 = &CutterJobs::afQrFeedWhileCut;

    // Single-sheet jobs: rotation and passes as set; a QR text naming no file
    // in the plot file's folder cuts nothing; in mode 5 "NOQR;" keeps the last
    // file and a missing one gives no sheet, but the wait and the move come.
    QTest::newRow("mark, rotated, no passes") << Case{N, &CutterJobs::scanMarkNet, [](Rig &r) {
        r.host.settings.rotate = true;
        r.host.settings.creasePasses = r.host.settings.cutPasses = 0;
    }, "MD0,0,3000,4000,4;!PG;CMD:10;", "-"};
    const QStringList unsafe{"../base", "sub/inner", "a\\b", "job7\n", "job7\x7f"};
    for (int i = 0; i < unsafe.size(); ++i)
        QTest::addRow("QR text %d", i) << Case{N, &CutterJobs::qrScanMarkNet, codes({unsafe[i]}, 1), q, ""};
    QTest::newRow("QR matrix") << Case{N, &CutterJobs::qrMatrixScanNet, [=](Rig &r) {
        codes({"NOQR;", "job7", "NOQR;", "missing", "NOQR;"}, 1)(r);
        r.host.presses = 4;
    }, q, "++", {}, [](Rig &r) {
        QCOMPARE(r.sim->cutter().instructions().count(QStringLiteral("CMD:101")), 5);
        QCOMPARE(r.host.triggerWaits, 5);
        QCOMPARE(moves(r.received()).size(), 4);
    }};

    // The places of a matrix with 5 mm and 2.5 mm gaps for a cutter that
    // reports the start origin (0, 0) at every query; "CMD:202;" after each move.
    const auto matrix = [](MatrixLayout layout, const QStringList &moved) {
        return Case{N, &CutterJobs::matrixBlankNet, [=](Rig &r) {
            r.host.settings.matrix = layout;
            r.host.settings.gapFirstMm = 5.0;
            r.host.settings.gapSecondMm = 2.5;
            r.host.presses = qMax(1, int(moved.size()));
            QStringList replies{"0,0;", "FREE;"};
            for (int i = 0; i < r.host.presses; ++i)
                replies << (moved.isEmpty() ? QStringList{"FREE;"} : QStringList{"0,0;", "FREE;", "OK;", "FREE;"});
            r.sim->cutter().config().scriptedReplies = replies;
        }, "", QString(qMax(1, int(moved.size())) + 1, '+'), {}, [=](Rig &r) {
            QCOMPARE(moves(r.received()), moved);
            QCOMPARE(r.sim->cutter().instructions().count(QStringLiteral("CMD:202")), moved.size());
        }};
    };
    QTest::newRow("matrix of four")
        << matrix(MatrixLayout::Four, {"SP2;PU0,3100;", "SP2;PU4200,3100;", "SP2;PU4200,0;", "SP2;PU0,0;"});
    QTest::newRow("matrix of two") << matrix(MatrixLayout::Two, {"SP2;PU4200,0;", "SP2;PU0,0;"});
    QTest::newRow("matrix of one") << matrix(MatrixLayout::One, {"SP2;PU0,0;"});
    QTest::newRow("no matrix selected") << matrix(MatrixLayout::None, {});

    // Auto-feed: the start position (d / 2 truncated; the QR modes take the
    // size from the plot file) and the smart search over P1..P4.
    QTest::newRow("d 3001 truncates") << Case{U, blank, design("MD0,0,4000,3001,3;", false), kIn + kPlace, "+"};
    QTest::newRow("QR, rotated plot file")
        << Case{U, &CutterJobs::afQrSingleFeed, design("MD0,0,4000,3001,5;", true), kIn + "PU120,7300;CMD:10;",
                "+"};
    QTest::newRow("no mark: stays at P4") << Case{U, file, [](Rig &r) { r.host.settings.feed.smartScan = true; },
                                                  kPlace + m + p2 + m + p3 + m + p4 + m + md, "+"};

    // Auto-feed: an unregistered sheet leaves uncut (after a pause in modes 8
    // and 9) and is counted; the QR modes select files as mode 5 does; mode
    // 11 takes an unanswered pre-feed check as paper after a second.
    const auto noMark = [](Rig &r) {
        r.sim->cutter().config().mdReplies = QStringList{"NOMARK;", "MD_OK;"};
        r.host.settings.feed.sheetsLeft = 2;
        r.jobs->autoFeedPauses.beforeUncutEject = 1000;
    };
    QTest::newRow("8, no mark") << Case{U, file, noMark, uncut, "-+", {}, took(1000)};
    QTest::newRow("11, no code, then one kept") << Case{U, qr11, codes({"NOQR;", "job7", "NOQR;"}, 3), "",
                                                        "-++"};
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
    }, kIn + kPaper + kPreFeed + kPlace, "++", {}, took(1000)};

    // Auto-feed: two feeds never closer than the interval; an empty container
    // asks the operator (Feed While Cutting once the last pre-fed sheet is out).
    const auto interval = [](Rig &r) {
        r.host.settings.feed.feedIntervalSecs = 1;
        r.host.settings.feed.sheetsLeft = 3;
    };
    QTest::newRow("6, feed interval") << Case{U, blank, interval, "", "+++", {}, took(2000)};
    QTest::newRow("7, feed interval") << Case{U, blank7, interval, "", "+++", {}, took(3000)};
    QTest::newRow("single, Cancel ends") << Case{U, blank, media(1, 3, {}), "", "+", paper};
    QTest::newRow("while cutting, OK feeds from the container")
        << Case{U, blank7, media(2, 4, {true}), "CMD:105,300;" + kPaper + kFeed + kPaper + kIn, "++++", paper};
    QTest::newRow("while cutting, nothing left: no box") << Case{U, blank7, media(2, 2, {}), "", "++"};
}

void TestJobs::edgeCases()
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
    rig.run(c.run);
    QVERIFY2(rig.received().contains(c.sent), qPrintable(rig.received()));
    QCOMPARE(rig.sheets(), c.sheets);
    QCOMPARE(rig.host.boxes, c.boxes);
    if (c.link == U) // auto-feed: every sheet out is counted
        QCOMPARE(rig.sheetsLeft(), count - int(c.sheets.size()));
    if (atBox >= 0 && !lastOk)
        QCOMPARE(rig.received().size(), atBox); // Cancel: nothing more is sent
    if (c.check)
        c.check(rig);
}





// Once the cutter has answered the instruction `at`, Stop is pressed, or the
// cutter falls silent and Stop follows, or the USB cutter is unplugged. A
// live cutter finishes its sheet first; a silent one is abandoned at once and
// no reply is made up (an unanswered position query must not move the
// carriage); a sheet not finished is not counted.
void TestJobs::interruptions_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("waits");
    QTest::addColumn<QString>("after"); // a pattern of all sent after the event
    QTest::addColumn<int>("sheetsLeft");
    const JobProcedure matrix = &CutterJobs::matrixScanNet;
    const JobProcedure feed = &CutterJobs::afFileSingleFeed;
    QTest::newRow("Stop during a matrix sheet") << matrix << "!PG" << "stop" << 0 << "(CMD:10;)+" << 3;
    QTest::newRow("Stop during an auto-feed sheet")
        << feed << "CMD:202" << "stop" << 0 << ".*!PG;(CMD:10;)+CMD:6;CMD:111;CMD:105,400;" << 2;
    QTest::newRow("silent after a sheet") << &CutterJobs::scanMarkNet << "!PG" << "silent" << 0 << "CMD:10;" << 3;
    QTest::newRow("silent at the position query") << matrix << "CMD:10" << "silent" << 1 << "CMD:203;" << 3;
    QTest::newRow("silent at the pre-feed check")
        << &CutterJobs::afFileFeedWhileCut << "CMD:5" << "silent" << 0 << "CMD:108;" << 3;
    QTest::newRow("unplugged during the cut") << feed << "CMD:202" << "unplug" << 0 << ".*" << 3;
}

void TestJobs::interruptions()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(QString, at);
    QFETCH(QString, event);
    QFETCH(int, waits);
    QFETCH(QString, after);
    QFETCH(int, sheetsLeft);
    const bool network = procedure == &CutterJobs::matrixScanNet || procedure == &CutterJobs::scanMarkNet;
    const int busyMs = event == QLatin1String("stop") ? 1200 : 0;
    Rig rig(network ? N : U, busyMs);
    rig.host.presses = 1;
    int atEvent = -1;
    rig.onInstruction = [&](const QString &instruction) {
        if (atEvent >= 0 || instruction != at)
            return;
        atEvent = rig.received().size();
        if (event == QLatin1String("stop"))
            rig.host.running = false;
        if (event == QLatin1String("silent")) {
            rig.sim->faults().silent = true;
            QTimer::singleShot(200, [&] { rig.host.running = false; });
        }
        if (event == QLatin1String("unplug"))
            QTimer::singleShot(0, [&] {
                rig.bed.unplug(rig.device);
                rig.sim->hangUp();
            });
    };
    rig.run(procedure);
    QVERIFY(atEvent >= 0);
    QVERIFY(rig.clock.elapsed() >= busyMs && rig.clock.elapsed() < CutterLink::kSilenceMs + 2000);
    QCOMPARE(rig.host.triggerWaits, waits);
    QCOMPARE(rig.host.states.contains("Waiting for the cutter..."), event == QLatin1String("silent"));
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(after));
    QVERIFY2(pattern.match(rig.received().mid(atEvent)).hasMatch(), qPrintable(rig.received().mid(atEvent)));
    QCOMPARE(rig.sheetsLeft(), sheetsLeft);
}

// Set stores the carriage position, Back moves by the difference to it. The
// calibration draws its pattern, moves under the camera and reads up to two
// marks; only a reading taken in that exchange is a measurement, within 5 mm.
// A failure (no cutter, no reply) shows no "OK!" or done box and stores,
// moves or draws nothing; an invalid address shows no box at all.
void TestJobs::carriage_data()
{
    QTest::addColumn<int>("op"); // set, back, calibration
    QTest::addColumn<JobLink>("link");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("marks");
    QTest::addColumn<QString>("expected"); // calibration: from the move under the camera
    QTest::addColumn<QStringList>("boxes");
    const char *ops[] = {"set", "back", "calibration"};
    const QStringList error{"Connect Error!"};
    const QStringList asked{"Start Auto-Adjust"};
    const QStringList done = asked + QStringList{"Auto-Adjust Completed!"};
    const QString read = QStringLiteral("PU0,0;CMD:10;CMD:106;");
    const QString oneOff = read + "CMD:201,39,1;PU40,40;CMD:10;CMD:106;";
    const QStringList centred{"320,240,25;"};
    QTest::newRow("set") << 0 << N << "" << centred << "CMD:203;" << QStringList{"Set"};
    QTest::newRow("back") << 1 << N << "" << centred << "CMD:203;SP2;PU200,-135;CMD:10;CMD:202;"
                          << QStringList{"Back"};
    for (int op = 0; op < 3; ++op) {
        const QStringList pre = op == 2 ? asked : QStringList();
        QTest::addRow("%s, invalid address", ops[op]) << op << N << "invalid address" << centred << "" << pre;
        QTest::addRow("%s, cutter off", ops[op]) << op << N << "off" << centred << "" << pre + error;
        // No USB cutter: no old reply may be taken for a position or a measurement.
        QTest::addRow("%s, USB cutter absent", ops[op]) << op << U << "" << centred << "" << pre + error;
        if (op < 2)
            QTest::addRow("%s, closed unanswered", ops[op]) << op << N << "hang up" << centred << "CMD:203;"
                                                            << error;
    }
    QTest::newRow("centred") << 2 << N << "" << centred
                             << read + "CMD:201,40,2;PU0,0;CMD:10;CMD:106;CMD:201,40,2;" << done;
    QTest::newRow("1 mm off, then centred")
        << 2 << N << "" << QStringList{"330,250,25;", "320,240,25;"} << oneOff + "CMD:201,39,1;" << done;
    QTest::newRow("exactly 5 mm is accepted")
        << 2 << N << "" << QStringList{"370,190,25;", "320,240,25;"}
        << read + "CMD:201,45,-3;PU-200,200;CMD:10;CMD:106;CMD:201,45,-3;" << done;
    QTest::newRow("6 mm off") << 2 << N << "" << QStringList{"380,240,25;"} << read << asked;
    QTest::newRow("no mark") << 2 << N << "" << QStringList{} << read << asked;
    QTest::newRow("mark of size 0") << 2 << N << "" << QStringList{"330,250,0;"} << read << asked;
    QTest::newRow("only two numbers") << 2 << N << "" << QStringList{"330,250;"} << read << asked;
    QTest::newRow("second reading lost") << 2 << N << "" << QStringList{"330,250,25;", "NOMARK;"} << oneOff
                                         << asked;
}

void TestJobs::carriage()
{
    QFETCH(int, op);
    QFETCH(JobLink, link);
    QFETCH(QString, fault);
    QFETCH(QStringList, marks);
    QFETCH(QString, expected);
    QFETCH(QStringList, boxes);
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
    if (fault == QLatin1String("hang up")) {
        rig.sim->faults().silent = true;
        QTimer::singleShot(200, rig.sim.get(), [&] { rig.sim->dropConnection(); });
    }
    int x = 1200, y = -35;
    if (op == 2)
        rig.jobs->autoAdjust(link);
    else
        op == 1 ? rig.jobs->backOrigin(link, x, y) : rig.jobs->setOrigin(link, x, y);
    const QString sent = rig.received();
    QCOMPARE(op == 2 ? sent.mid(sent.indexOf(QLatin1String("PU0,0;CMD:10;"))) : sent, expected);
    QVERIFY(op < 2 || sent.isEmpty() || sent.startsWith(QLatin1String("IN;PA;"))); // the pattern first
    QCOMPARE(rig.host.boxes, boxes);
    QCOMPARE(QPoint(x, y), boxes == QStringList{"Set"} ? QPoint(1000, 100) : QPoint(1200, -35));
}

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
