// The six auto-feed procedures against the simulated cutter with its media
// container, over the USB link on a mocked udev tree whose device node is the
// simulator's pty (run under umockdev-wrapper). The link's poll pause, the
// procedures' pauses and the feed interval are shortened unless a test
// measures them.
#include "../link/mockusb.h" // first: before any Qt header

#include "autofeed.h"
#include "jobtesting.h"
#include "sheet.h"

#include <QElapsedTimer>
#include <QtTest>

#include <functional>

namespace {

// The main window's part: the count follows the procedure, the "No Paper..."
// box is answered from the list (Cancel once it is used up).
class FeedHost : public FakeHost
{
public:
    QList<bool> answers;
    std::function<void()> onAsk; // the operator at the container, before answering
    int boxes = 0;
    QList<PlotPathList> previews;

    void setSheetsLeft(int count) override { settings.feed.sheetsLeft = count; }
    bool askForMedia() override
    {
        ++boxes;
        if (onAsk)
            onAsk();
        return !answers.isEmpty() && answers.takeFirst();
    }
    void showJobPaths(const PlotPathList &paths) override { previews << paths; }
};

struct FeedRig
{
    explicit FeedRig(int containerSheets = 10)
    {
        SimConfig config;
        config.busyMs = 0;
        config.sheets = containerSheets;
        sim = std::make_unique<CutterSimServer>(config);
        device = bed.plug("1-2", "lp0", 0, sim->openPty());
        usb.setDevice(QStringLiteral("1-2:1.0")); // the runner's step
        usb.pollPauseMs = 2;
        jobs = std::make_unique<CutterJobs>(host, usb, net);
        jobs->autoFeedPauses = AutoFeedPauses{1, 1, 1};
        FeedSettings &feed = host.settings.feed;
        feed.sheetsLeft = 3;
        feed.feedDistMm = 300;
        feed.ejectDistMm = 400;
        feed.feedIntervalSecs = 0;
        host.settings.plotFile = writePlot("base.plt", outerFirstPlot());
        // The sheet-by-sheet record, with the time each instruction arrived.
        QObject::connect(sim.get(), &CutterSimServer::instructionsReceived, sim.get(), [this](int total) {
            const QStringList &all = sim->cutter().instructions();
            for (int i = arrivals.size(); i < total; ++i) {
                arrivals << Arrival{all.at(i), clock.elapsed()};
                if (onInstruction)
                    onInstruction(all.at(i));
            }
        });
        clock.start();
    }

    QString received() const
    {
        const QStringList seen = sim->cutter().instructions();
        return seen.isEmpty() ? QString() : seen.join(QLatin1Char(';')) + QLatin1Char(';');
    }
    QString writePlot(const QString &name, const QString &text)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        return path;
    }
    int sheetsLeft() const { return host.settings.feed.sheetsLeft; }

    struct Arrival
    {
        QString instruction;
        qint64 ms;
    };
    MockUsb bed;
    MockUsbDevice device;
    FeedHost host;
    QTemporaryDir dir;
    std::unique_ptr<CutterSimServer> sim;
    UsbOperate usb;
    RJ45Socket net;
    std::unique_ptr<CutterJobs> jobs;
    QElapsedTimer clock;
    QList<Arrival> arrivals;
    std::function<void(const QString &)> onInstruction;
};

// The job text a mode sends for the default design (header "MD0,0,4000,3000,N;").
QString jobText(int mode, const QString &plot)
{
    return prepareSheet(plot, sheetOptionsFor(mode, SheetLink::Usb)).jobText;
}

// The file a QR code names: its header ends in ",5;".
QString qrPlot()
{
    return outerFirstPlot(QStringLiteral("MD0,0,4000,3000,5;"));
}

// Pieces of the transcripts, every instruction closed by ";" (feedDist 300,
// ejectDist 400, a 4000 x 3000 design: start position 120, 9300 - 1500).
const QString kPaper = QStringLiteral("CMD:108;");
const QString kFeed = QStringLiteral("CMD:109,0,0,0,0;CMD:105,300;");
const QString kIn = QStringLiteral("CMD:5;");
const QString kPlace = QStringLiteral("PU120,7800;CMD:10;");
const QString kRelease = QStringLiteral("CMD:6;CMD:111;");
const QString kPreFeed = QStringLiteral("CMD:110;");
const QString kStart = QStringLiteral("CMD:202;");
const QString kFree = QStringLiteral("CMD:10;");

} // namespace

Q_DECLARE_METATYPE(JobProcedure)

class TestAutoFeedJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dispatchIgnoresLinkType();
    void eachModeRunsItsSheets_data();
    void eachModeRunsItsSheets();
    void countZeroSendsNothing_data();
    void countZeroSendsNothing();
    void plotWithoutHeaderSendsNothing();
    void preFeedOfTheLastSheet_data();
    void preFeedOfTheLastSheet();
    void startPositionTruncates_data();
    void startPositionTruncates();
    void smartSearch_data();
    void smartSearch();
    void markNotFoundEjectsUncut_data();
    void markNotFoundEjectsUncut();
    void qrSelectionPerSheet_data();
    void qrSelectionPerSheet();
    void preFeedCheckTimeOutCountsAsPaper();
    void emptyContainerAsksOperator_data();
    void emptyContainerAsksOperator();
    void feedsKeepTheInterval_data();
    void feedsKeepTheInterval();
    void stopEndsAfterTheSheet();
    void stopAbandonsSilentCutter();
    void unpluggedCutterEndsRunUncounted();
};

void TestAutoFeedJobs::initTestCase()
{
    const MockUsb probe; // the mock is recognised only once a testbed exists
    QVERIFY2(MockUsb::inMockEnvironment(), "run this test under umockdev-wrapper");
}

void TestAutoFeedJobs::dispatchIgnoresLinkType()
{
    const JobProcedure expected[6] = {&CutterJobs::afBlankSingleFeed, &CutterJobs::afBlankFeedWhileCut,
                                      &CutterJobs::afFileSingleFeed,  &CutterJobs::afFileFeedWhileCut,
                                      &CutterJobs::afQrSingleFeed,    &CutterJobs::afQrFeedWhileCut};
    for (int mode = 6; mode <= 11; ++mode) {
        for (const char *type : {"USB", "RJ45", ""})
            QVERIFY(procedureFor(mode, QString::fromLatin1(type)) == expected[mode - 6]);
        QVERIFY(!dispatchEntry(mode)->trigger);
    }
}

void TestAutoFeedJobs::eachModeRunsItsSheets_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("containerLeft");

    const QString plot = outerFirstPlot();
    const QString blank = kStart + jobText(6, plot) + kFree;
    const QString mark = kStart + jobText(8, plot) + kFree;
    // The QR code names job7.plt, whose header ends in ",5;": sent as ",4;".
    const QString qr = QStringLiteral("CMD:101;") + kStart + jobText(10, qrPlot()) + kFree;
    const auto single = [](const QString &cut, const QString &lastMove) {
        return QString(kPaper + kFeed + kIn + kPlace + cut + kRelease + lastMove).repeated(3);
    };
    // Feed While Cutting: the first sheet comes from the container, the
    // others by pre-feed; after each sheet the container is asked again.
    const auto whileCutting = [](const QString &cut, bool preFeedLast) {
        const QString sheet = kIn + kPaper + "%1" + kPlace + cut + kRelease + "CMD:105,300;" + kPaper;
        return kPaper + kFeed + kPaper + sheet.arg(kPreFeed) + sheet.arg(kPreFeed)
            + sheet.arg(preFeedLast ? kPreFeed : QString());
    };
    QTest::newRow("6 blank, single feed") << &CutterJobs::afBlankSingleFeed << single(blank, "CMD:105,400;") << 7;
    QTest::newRow("7 blank, feed while cutting")
        << &CutterJobs::afBlankFeedWhileCut << whileCutting(blank, true) << 6;
    QTest::newRow("8 file, single feed") << &CutterJobs::afFileSingleFeed << single(mark, "CMD:105,400;") << 7;
    QTest::newRow("9 file, feed while cutting")
        << &CutterJobs::afFileFeedWhileCut << whileCutting(mark, false) << 7;
    QTest::newRow("10 QR, single feed") << &CutterJobs::afQrSingleFeed << single(qr, "CMD:105,300;") << 7;
    QTest::newRow("11 QR, feed while cutting") << &CutterJobs::afQrFeedWhileCut << whileCutting(qr, false) << 7;
}

void TestAutoFeedJobs::eachModeRunsItsSheets()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(QString, expected);
    QFETCH(int, containerLeft);
    FeedRig rig;
    rig.writePlot("job7.plt", qrPlot());
    rig.sim->cutter().config().qrReplies = QStringList{"job7"};

    (rig.jobs.get()->*procedure)();

    QCOMPARE(rig.received(), expected);
    QCOMPARE(rig.sheetsLeft(), 0);
    QCOMPARE(rig.sim->cutter().finishedSheets().size(), 3);
    QCOMPARE(rig.sim->cutter().sheetsLeft(), containerLeft);
    const bool qr = expected.contains(QLatin1String("CMD:101;"));
    QCOMPARE(rig.host.previews.size(), qr ? 3 : 0);
    if (qr)
        QCOMPARE(rig.host.previews.first(), PltSolve().parsePaths(jobText(10, qrPlot())));
    // Progress: which sheet of how many, and what is being done with it.
    for (const char *state : {"Sheet 1 of 3: feeding...", "Sheet 2 of 3: cutting...", "Sheet 3 of 3: cutting..."})
        QVERIFY2(rig.host.states.contains(QLatin1String(state)), state);
    QVERIFY(rig.host.states.contains(QLatin1String(expected.contains(QLatin1String("CMD:110;"))
                                                        ? "Sheet 1 of 3: pre-feeding the next sheet..."
                                                        : "Sheet 3 of 3: moving the sheet out...")));
}

void TestAutoFeedJobs::countZeroSendsNothing_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::newRow("6") << &CutterJobs::afBlankSingleFeed;
    QTest::newRow("7") << &CutterJobs::afBlankFeedWhileCut;
    QTest::newRow("8") << &CutterJobs::afFileSingleFeed;
    QTest::newRow("9") << &CutterJobs::afFileFeedWhileCut;
    QTest::newRow("10") << &CutterJobs::afQrSingleFeed;
    QTest::newRow("11") << &CutterJobs::afQrFeedWhileCut;
}

void TestAutoFeedJobs::countZeroSendsNothing()
{
    QFETCH(JobProcedure, procedure);
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = 0;
    (rig.jobs.get()->*procedure)();
    QCOMPARE(rig.received(), QString());
    QCOMPARE(rig.sheetsLeft(), 0);
}

void TestAutoFeedJobs::plotWithoutHeaderSendsNothing()
{
    const JobProcedure all[6] = {&CutterJobs::afBlankSingleFeed, &CutterJobs::afBlankFeedWhileCut,
                                 &CutterJobs::afFileSingleFeed,  &CutterJobs::afFileFeedWhileCut,
                                 &CutterJobs::afQrSingleFeed,    &CutterJobs::afQrFeedWhileCut};
    for (const JobProcedure procedure : all) {
        FeedRig rig;
        rig.host.settings.plotFile = rig.writePlot("base.plt", "IN;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;");
        (rig.jobs.get()->*procedure)();
        QCOMPARE(rig.received(), QString());
        QCOMPARE(rig.sheetsLeft(), 3);
    }
}

void TestAutoFeedJobs::preFeedOfTheLastSheet_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("preFeeds");
    QTest::newRow("7, count 1: pre-feeds while there is paper") << &CutterJobs::afBlankFeedWhileCut << 1 << 1;
    QTest::newRow("9, count 1") << &CutterJobs::afFileFeedWhileCut << 1 << 0;
    QTest::newRow("11, count 1") << &CutterJobs::afQrFeedWhileCut << 1 << 0;
    QTest::newRow("9, count 2") << &CutterJobs::afFileFeedWhileCut << 2 << 1;
    QTest::newRow("11, count 2") << &CutterJobs::afQrFeedWhileCut << 2 << 1;
}

void TestAutoFeedJobs::preFeedOfTheLastSheet()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(int, count);
    QFETCH(int, preFeeds);
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = count;
    rig.writePlot("job7.plt", outerFirstPlot());
    rig.sim->cutter().config().qrReplies = QStringList{"job7"};
    (rig.jobs.get()->*procedure)();
    QCOMPARE(rig.sim->cutter().instructions().count(QStringLiteral("CMD:110")), preFeeds);
    QCOMPARE(rig.sim->cutter().finishedSheets().size(), count);
    QCOMPARE(rig.sheetsLeft(), 0);
}

void TestAutoFeedJobs::startPositionTruncates_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("offsetMm");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<QString>("move");
    const JobProcedure blank = &CutterJobs::afBlankSingleFeed;
    const JobProcedure qr = &CutterJobs::afQrSingleFeed;
    QTest::newRow("d 3000") << blank << "MD0,0,4000,3000,3;" << 0 << false << "PU120,7800;";
    QTest::newRow("d 3001 truncates") << blank << "MD0,0,4000,3001,3;" << 0 << false << "PU120,7800;";
    QTest::newRow("d 3002") << blank << "MD0,0,4000,3002,3;" << 0 << false << "PU120,7799;";
    QTest::newRow("offset 5 mm") << blank << "MD0,0,4000,3000,3;" << 5 << false << "PU120,8000;";
    QTest::newRow("offset -5 mm") << blank << "MD0,0,4000,3000,3;" << -5 << false << "PU120,7600;";
    QTest::newRow("rotated: the third number") << blank << "MD0,0,4000,3001,3;" << 0 << true << "PU120,7300;";
    QTest::newRow("QR, rotated plot file") << qr << "MD0,0,4000,3001,5;" << 0 << true << "PU120,7300;";
}

void TestAutoFeedJobs::startPositionTruncates()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(QString, header);
    QFETCH(int, offsetMm);
    QFETCH(bool, rotate);
    QFETCH(QString, move);
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = 1;
    rig.host.settings.feed.offsetArgMm = offsetMm;
    rig.host.settings.rotate = rotate;
    rig.host.settings.plotFile = rig.writePlot("base.plt", outerFirstPlot(header));
    rig.writePlot("job7.plt", outerFirstPlot(QStringLiteral("MD0,0,2000,2000,5;"))); // size from base.plt only
    rig.sim->cutter().config().qrReplies = QStringList{"job7"};
    (rig.jobs.get()->*procedure)();
    QVERIFY2(rig.received().contains(kIn + move + kFree), qPrintable(rig.received().left(120)));
}

void TestAutoFeedJobs::smartSearch_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<bool>("smartScan");
    QTest::addColumn<QStringList>("qrReplies");
    QTest::addColumn<QStringList>("markReplies");
    QTest::addColumn<QString>("expected"); // from the start position up to the MD instruction
    const QString p2 = QStringLiteral("PU120,8400;CMD:10;");
    const QString p3 = QStringLiteral("PU520,8400;CMD:10;");
    const QString p4 = QStringLiteral("PU520,7800;CMD:10;");
    const QString mark = QStringLiteral("CMD:106;");
    const QString qr = QStringLiteral("CMD:101;");
    const QString found = QStringLiteral("X=320,Y=240,D=5;");
    const QString md = kStart + "MD0,0,4000,3000,4;";
    const JobProcedure file = &CutterJobs::afFileSingleFeed;
    const JobProcedure qrFile = &CutterJobs::afQrSingleFeed;
    const QStringList none;
    QTest::newRow("off: no probe") << file << false << none << QStringList{found} << kPlace + md;
    QTest::newRow("mark at P1") << file << true << none << QStringList{found} << kPlace + mark + md;
    QTest::newRow("mark at P3") << file << true << none << QStringList{"NOMARK;", "NOMARK;", found}
                                << kPlace + mark + p2 + mark + p3 + mark + md;
    QTest::newRow("no mark: stays at P4") << file << true << none << QStringList{"NOMARK;"}
                                          << kPlace + mark + p2 + mark + p3 + mark + p4 + mark + md;
    QTest::newRow("QR off: only the final read") << qrFile << false << QStringList{"job7"} << QStringList{found}
                                                 << kPlace + qr + md;
    QTest::newRow("QR at P2, mark goes on from there")
        << qrFile << true << QStringList{"NOQR;", "job7"} << QStringList{"NOMARK;", found}
        << kPlace + qr + p2 + qr + qr + mark + p2 + mark + md;
}

void TestAutoFeedJobs::smartSearch()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(bool, smartScan);
    QFETCH(QStringList, qrReplies);
    QFETCH(QStringList, markReplies);
    QFETCH(QString, expected);
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = 1;
    rig.host.settings.feed.smartScan = smartScan;
    rig.writePlot("job7.plt", outerFirstPlot(QStringLiteral("MD0,0,4000,3000,5;")));
    rig.sim->cutter().config().qrReplies = qrReplies;
    rig.sim->cutter().config().markReplies = markReplies;
    (rig.jobs.get()->*procedure)();
    const QString received = rig.received();
    const int from = received.indexOf(kPlace);
    QCOMPARE(received.mid(from, expected.size()), expected);
    QCOMPARE(rig.sim->cutter().finishedSheets().size(), 1);
    QVERIFY(!rig.sim->cutter().finishedSheets().first().lines.isEmpty()); // registered and cut
}

void TestAutoFeedJobs::markNotFoundEjectsUncut_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<bool>("pause");
    QTest::newRow("8") << &CutterJobs::afFileSingleFeed << true;
    QTest::newRow("9") << &CutterJobs::afFileFeedWhileCut << true;
    QTest::newRow("10, no pause") << &CutterJobs::afQrSingleFeed << false;
    QTest::newRow("11, no pause") << &CutterJobs::afQrFeedWhileCut << false;
}

void TestAutoFeedJobs::markNotFoundEjectsUncut()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(bool, pause);
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = 2;
    rig.jobs->autoFeedPauses.beforeUncutEject = 400;
    rig.writePlot("job7.plt", outerFirstPlot(QStringLiteral("MD0,0,4000,3000,5;")));
    rig.sim->cutter().config().qrReplies = QStringList{"job7"};
    rig.sim->cutter().config().mdReplies = QStringList{"NOMARK;", "MD_OK;"};
    (rig.jobs.get()->*procedure)();

    const QString uncut = QStringLiteral("MD0,0,4000,3000,4;!PG;CMD:10;") + kRelease;
    QVERIFY2(rig.received().contains(uncut), qPrintable(rig.received()));
    QCOMPARE(rig.sheetsLeft(), 0); // the uncut sheet is counted too
    const QVector<SimSheet> sheets = rig.sim->cutter().finishedSheets();
    QCOMPARE(sheets.size(), 2);
    QVERIFY(sheets.at(0).lines.isEmpty());
    QVERIFY(!sheets.at(1).lines.isEmpty());
    if (pause) {
        qint64 md = -1;
        for (const FeedRig::Arrival &a : rig.arrivals) {
            if (a.instruction.startsWith(QLatin1String("MD")) && md < 0)
                md = a.ms;
            if (a.instruction == QLatin1String("!PG") && md >= 0) {
                QVERIFY2(a.ms - md >= 400, "the sheet left before the pause was over");
                break;
            }
        }
    }
}

void TestAutoFeedJobs::qrSelectionPerSheet_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<QStringList>("qrReplies");
    QTest::addColumn<QList<bool>>("cut"); // per sheet: cut, or moved out uncut
    const QList<bool> cutPattern{false, true, true};
    QTest::newRow("10: no code on the first sheet, then the last file is kept")
        << &CutterJobs::afQrSingleFeed << QStringList{"NOQR;", "job7", "NOQR;"} << cutPattern;
    QTest::newRow("11: the same") << &CutterJobs::afQrFeedWhileCut << QStringList{"NOQR;", "job7", "NOQR;"}
                                  << cutPattern;
    QTest::newRow("10: a missing file is not cut, nor kept")
        << &CutterJobs::afQrSingleFeed << QStringList{"job7", "missing", "NOQR;"} << QList<bool>{true, false, false};
    QTest::newRow("10: a name leaving the folder is not cut")
        << &CutterJobs::afQrSingleFeed << QStringList{"job7", "../outside", "job7"} << QList<bool>{true, false, true};
    QTest::newRow("10: a file without MD header is not cut")
        << &CutterJobs::afQrSingleFeed << QStringList{"plain", "job7", "plain"} << QList<bool>{false, true, false};
}

void TestAutoFeedJobs::qrSelectionPerSheet()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(QStringList, qrReplies);
    QFETCH(QList<bool>, cut);
    FeedRig rig;
    QVERIFY(QDir(rig.dir.path()).mkpath("plots"));
    rig.host.settings.plotFile = rig.writePlot("plots/base.plt", outerFirstPlot());
    rig.writePlot("plots/job7.plt", outerFirstPlot(QStringLiteral("MD0,0,4000,3000,5;")));
    rig.writePlot("plots/plain.plt", "IN;SP2;PU0,0;PD100,100;!PG;");
    rig.writePlot("outside.plt", outerFirstPlot()); // reachable only through ".."
    rig.sim->cutter().config().qrReplies = qrReplies;
    (rig.jobs.get()->*procedure)();

    const QVector<SimSheet> sheets = rig.sim->cutter().finishedSheets();
    QCOMPARE(sheets.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(!sheets.at(i).lines.isEmpty(), cut.at(i));
    // No job start for a sheet without a job; the preview shows each job cut.
    QCOMPARE(rig.sim->cutter().instructions().count(QStringLiteral("CMD:202")), int(cut.count(true)));
    QCOMPARE(rig.host.previews.size(), int(cut.count(true)));
    QCOMPARE(rig.sheetsLeft(), 0);
}

void TestAutoFeedJobs::preFeedCheckTimeOutCountsAsPaper()
{
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = 2;
    rig.writePlot("job7.plt", outerFirstPlot());
    rig.sim->cutter().config().qrReplies = QStringList{"job7"};
    // The cutter leaves the first pre-feed check unanswered.
    bool first = true;
    rig.onInstruction = [&](const QString &instruction) {
        if (instruction == QLatin1String("CMD:5") && first) {
            rig.sim->cutter().config().scriptedReplies = QStringList{QString()};
            first = false;
        }
    };
    rig.jobs->afQrFeedWhileCut();
    const QString received = rig.received();
    QVERIFY2(received.contains(kIn + kPaper + kPreFeed + kPlace), qPrintable(received));
    QCOMPARE(rig.sim->cutter().instructions().count(QStringLiteral("CMD:110")), 1);
    QCOMPARE(rig.sheetsLeft(), 0);
    // The unanswered read waited its second.
    qint64 check = -1;
    for (const FeedRig::Arrival &a : rig.arrivals) {
        if (a.instruction == QLatin1String("CMD:5"))
            check = 0;
        else if (check == 0 && a.instruction == QLatin1String("CMD:108"))
            check = a.ms;
        else if (check > 0 && a.instruction == QLatin1String("CMD:110")) {
            QVERIFY(a.ms - check >= 1000);
            break;
        }
    }
}

void TestAutoFeedJobs::emptyContainerAsksOperator_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<int>("containerSheets");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<int>("sheetsLeft");
    QTest::addColumn<QString>("ending");
    const JobProcedure single = &CutterJobs::afBlankSingleFeed;
    const JobProcedure whileCutting = &CutterJobs::afBlankFeedWhileCut;
    const QString cutEnd = kRelease + "CMD:105,400;";
    // Single Feed: the second sheet finds the container empty.
    QTest::newRow("single, Cancel ends") << single << 1 << 3 << false << 1 << 2 << cutEnd + kPaper;
    QTest::newRow("single, OK starts the sheet afresh") << single << 1 << 3 << true << 1 << 0
                                                        << cutEnd + kPaper + kPaper + kFeed;
    // Feed While Cutting: two sheets (one fed, one pre-fed), then the box
    // after the second is out.
    QTest::newRow("while cutting, Cancel ends") << whileCutting << 2 << 4 << false << 1 << 2
                                                << "CMD:105,300;";
    QTest::newRow("while cutting, OK feeds from the container")
        << whileCutting << 2 << 4 << true << 1 << 0 << "CMD:105,300;" + kPaper + kFeed + kPaper + kIn;
    QTest::newRow("while cutting, nothing left to cut: no box") << whileCutting << 2 << 2 << false << 0 << 0
                                                                << "CMD:105,300;";
}

void TestAutoFeedJobs::emptyContainerAsksOperator()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(int, containerSheets);
    QFETCH(int, count);
    QFETCH(bool, answerOk);
    QFETCH(int, boxes);
    QFETCH(int, sheetsLeft);
    QFETCH(QString, ending);
    FeedRig rig(containerSheets);
    rig.host.settings.feed.sheetsLeft = count;
    rig.host.answers = {answerOk};
    QString atBox;
    rig.host.onAsk = [&] {
        atBox = rig.received();
        rig.sim->cutter().config().sheets = 5; // the operator loads media
    };
    (rig.jobs.get()->*procedure)();
    QCOMPARE(rig.host.boxes, boxes);
    QCOMPARE(rig.sheetsLeft(), sheetsLeft);
    QVERIFY(rig.host.states.contains(QLatin1String("No paper: waiting for the operator to load the media container..."))
            == (boxes > 0));
    const QString received = rig.received();
    if (answerOk) {
        QVERIFY2(received.mid(atBox.size()).startsWith(kPaper + kFeed), qPrintable(received.mid(atBox.size(), 80)));
        QVERIFY2(received.contains(ending), qPrintable(received));
        QCOMPARE(rig.sim->cutter().finishedSheets().size(), count);
    } else {
        QVERIFY2(received.endsWith(ending), qPrintable(received.right(80)));
        if (boxes > 0)
            QCOMPARE(atBox, received); // Cancel: nothing more is sent
    }
}

void TestAutoFeedJobs::feedsKeepTheInterval_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::newRow("single feed") << &CutterJobs::afBlankSingleFeed;
    QTest::newRow("feed while cutting") << &CutterJobs::afBlankFeedWhileCut;
}

// The cutter answers at once; the feeds still keep the interval: between two
// "CMD:109" in Single Feed, between a feed or pre-feed and the move that
// brings the sheet in while the cut one goes out in Feed While Cutting.
void TestAutoFeedJobs::feedsKeepTheInterval()
{
    QFETCH(JobProcedure, procedure);
    FeedRig rig;
    rig.host.settings.feed.feedIntervalSecs = 1;
    (rig.jobs.get()->*procedure)();
    QCOMPARE(rig.sheetsLeft(), 0);
    const bool single = procedure == &CutterJobs::afBlankSingleFeed;
    qint64 lastFeed = -1;
    QString previous;
    int checked = 0;
    for (const FeedRig::Arrival &a : rig.arrivals) {
        const bool fromContainer = a.instruction.startsWith(QLatin1String("CMD:109"));
        const bool fed = fromContainer || a.instruction == QLatin1String("CMD:110");
        const bool sheetMove = single ? fromContainer
                                      : a.instruction.startsWith(QLatin1String("CMD:105"))
                                            && previous == QLatin1String("CMD:111");
        if (sheetMove && lastFeed >= 0) {
            QVERIFY2(a.ms - lastFeed >= 1000, qPrintable(QString::number(a.ms - lastFeed)));
            ++checked;
        }
        if (fed)
            lastFeed = a.ms;
        previous = a.instruction;
    }
    QCOMPARE(checked, single ? 2 : 3);
    QVERIFY(std::any_of(rig.host.states.cbegin(), rig.host.states.cend(), [](const QString &s) {
        return s.endsWith(QLatin1String("s for the feeder..."));
    }));
}

void TestAutoFeedJobs::stopEndsAfterTheSheet()
{
    FeedRig rig;
    rig.onInstruction = [&](const QString &instruction) {
        if (instruction == QLatin1String("CMD:202"))
            rig.host.running = false;
    };
    rig.jobs->afFileSingleFeed();
    QVERIFY(rig.received().endsWith(kRelease + "CMD:105,400;")); // cut and moved out
    QCOMPARE(rig.sim->cutter().finishedSheets().size(), 1);
    QCOMPARE(rig.sheetsLeft(), 2);
}

void TestAutoFeedJobs::stopAbandonsSilentCutter()
{
    FeedRig rig;
    rig.onInstruction = [&](const QString &instruction) {
        if (instruction == QLatin1String("CMD:5")) {
            rig.sim->faults().silent = true;
            QTimer::singleShot(200, [&] { rig.host.running = false; });
        }
    };
    QElapsedTimer clock;
    clock.start();
    rig.jobs->afFileFeedWhileCut();
    QVERIFY(clock.elapsed() < CutterLink::kSilenceMs + 2000);
    QVERIFY(rig.host.states.contains(QStringLiteral("Waiting for the cutter...")));
    QVERIFY(rig.received().endsWith(kIn + kPaper)); // the pre-feed check is never answered
    QCOMPARE(rig.sheetsLeft(), 3);
}

// The cutter is unplugged during the cut: the run ends at once and the sheet
// it could not finish is not counted as done.
void TestAutoFeedJobs::unpluggedCutterEndsRunUncounted()
{
    FeedRig rig;
    rig.onInstruction = [&](const QString &instruction) {
        if (instruction == QLatin1String("CMD:202"))
            QTimer::singleShot(0, [&] {
                rig.bed.unplug(rig.device);
                rig.sim->hangUp();
            });
    };
    QElapsedTimer clock;
    clock.start();
    rig.jobs->afBlankSingleFeed();
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(rig.sheetsLeft(), 3);
}

QTEST_MAIN(TestAutoFeedJobs)
#include "tst_autofeedjobs.moc"
