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

// The simulated cutter behind a mocked USB node, three sheets to cut, feed
// 300 mm, eject 400 mm, base.plt (4000 x 3000, digit 4) and job7.plt (digit
// 5, for the QR code "job7"), and every instruction's arrival time.
struct FeedRig : BasicRig<FeedHost>
{
    explicit FeedRig(int containerSheets = 10) : BasicRig(feedCutter(containerSheets))
    {
        device = bed.plug("1-2", "lp0", 0, sim->openPty());
        usb.setDevice(QStringLiteral("1-2:1.0")); // the runner's step
        usb.pollPauseMs = 2;
        jobs->autoFeedPauses = AutoFeedPauses{1, 1, 1};
        host.settings.feed.sheetsLeft = 3;
        host.settings.feed.feedDistMm = 300;
        host.settings.feed.ejectDistMm = 400;
        host.settings.feed.feedIntervalSecs = 0;
        usePlots();
        QObject::connect(sim.get(), &CutterSimServer::instructionsReceived, sim.get(), [this](int total) {
            for (int i = arrivals.size(); i < total; ++i) {
                arrivals << qMakePair(sim->cutter().instructions().at(i), clock.elapsed());
                if (onInstruction)
                    onInstruction(arrivals.last().first);
            }
        });
        clock.start();
    }
    static SimConfig feedCutter(int containerSheets)
    {
        SimConfig config = instantCutter();
        config.sheets = containerSheets;
        return config;
    }

    // Time from the first instruction starting with `from` to the next one
    // starting with `to`, ms; -1 when there is no such pair.
    qint64 gapMs(const QString &from, const QString &to) const
    {
        qint64 at = -1;
        for (const auto &a : arrivals) {
            if (at < 0 && a.first.startsWith(from))
                at = a.second;
            else if (at >= 0 && a.first.startsWith(to))
                return a.second - at;
        }
        return -1;
    }
    int sheetsLeft() const { return host.settings.feed.sheetsLeft; }

    MockUsb bed;
    MockUsbDevice device;
    QElapsedTimer clock;
    QList<QPair<QString, qint64>> arrivals;
    std::function<void(const QString &)> onInstruction;
};

QString jobText(int mode, const QString &plot)
{
    return prepareSheet(plot, sheetOptionsFor(mode, SheetLink::Usb)).jobText;
}

// Pieces of the transcripts, every instruction closed by ";" (the start
// position of a 4000 x 3000 design is 120, 9300 - 1500).
const QString kPaper = QStringLiteral("CMD:108;");
const QString kFeed = QStringLiteral("CMD:109,0,0,0,0;CMD:105,300;");
const QString kIn = QStringLiteral("CMD:5;");
const QString kPlace = QStringLiteral("PU120,7800;CMD:10;");
const QString kRelease = QStringLiteral("CMD:6;CMD:111;");
const QString kPreFeed = QStringLiteral("CMD:110;");
const QString kStart = QStringLiteral("CMD:202;");
const QString kFree = QStringLiteral("CMD:10;");

const JobProcedure kModes[6] = {&CutterJobs::afBlankSingleFeed, &CutterJobs::afBlankFeedWhileCut,
                                &CutterJobs::afFileSingleFeed,  &CutterJobs::afFileFeedWhileCut,
                                &CutterJobs::afQrSingleFeed,    &CutterJobs::afQrFeedWhileCut};

} // namespace

class TestAutoFeedJobs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachModeRunsItsSheets_data();
    void eachModeRunsItsSheets();
    void nothingSent_data();
    void nothingSent();
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

void TestAutoFeedJobs::eachModeRunsItsSheets_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("containerLeft");
    const QString blank = kStart + jobText(6, outerFirstPlot()) + kFree;
    const QString mark = kStart + jobText(8, outerFirstPlot()) + kFree;
    // job7.plt's header ends in ",5;": sent as ",4;".
    const QString qr = "CMD:101;" + kStart + jobText(10, outerFirstPlot("MD0,0,4000,3000,5;")) + kFree;
    const auto single = [](const QString &cut, const QString &lastMove) {
        return QString(kPaper + kFeed + kIn + kPlace + cut + kRelease + lastMove).repeated(3);
    };
    // The first sheet comes from the container, the others by pre-feed; the
    // container is asked again after each sheet.
    const auto whileCutting = [](const QString &cut, bool preFeedLast) {
        const QString sheet = kIn + kPaper + "%1" + kPlace + cut + kRelease + "CMD:105,300;" + kPaper;
        return kPaper + kFeed + kPaper + sheet.arg(kPreFeed) + sheet.arg(kPreFeed)
            + sheet.arg(preFeedLast ? kPreFeed : QString());
    };
    QTest::newRow("6 blank, single feed") << 6 << single(blank, "CMD:105,400;") << 7;
    QTest::newRow("7 blank, feed while cutting") << 7 << whileCutting(blank, true) << 6;
    QTest::newRow("8 file, single feed") << 8 << single(mark, "CMD:105,400;") << 7;
    QTest::newRow("9 file, feed while cutting") << 9 << whileCutting(mark, false) << 7;
    QTest::newRow("10 QR, single feed") << 10 << single(qr, "CMD:105,300;") << 7;
    QTest::newRow("11 QR, feed while cutting") << 11 << whileCutting(qr, false) << 7;
}

void TestAutoFeedJobs::eachModeRunsItsSheets()
{
    QFETCH(int, mode);
    QFETCH(QString, expected);
    QFETCH(int, containerLeft);
    FeedRig rig;
    const JobProcedure procedure = kModes[mode - 6];
    QVERIFY(procedureFor(mode, QStringLiteral("RJ45")) == procedure); // USB whatever the link type

    rig.run(procedure);

    QCOMPARE(rig.received(), expected);
    QCOMPARE(rig.sheetsLeft(), 0);
    QCOMPARE(rig.sim->cutter().finishedSheets().size(), 3);
    QCOMPARE(rig.sim->cutter().sheetsLeft(), containerLeft);
    QCOMPARE(rig.host.previews.size(), mode >= 10 ? 3 : 0);
    if (mode >= 10)
        QCOMPARE(rig.host.previews.first(), PltSolve().parsePaths(jobText(10, outerFirstPlot("MD0,0,4000,3000,5;"))));
    for (const char *state : {"Sheet 1 of 3: feeding...", "Sheet 2 of 3: cutting...", "Sheet 3 of 3: cutting..."})
        QVERIFY2(rig.host.states.contains(QLatin1String(state)), state);
}

void TestAutoFeedJobs::nothingSent_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<bool>("noHeader");
    for (int mode = 6; mode <= 11; ++mode) {
        QTest::addRow("%d, count 0", mode) << kModes[mode - 6] << false;
        QTest::addRow("%d, plot file without MD", mode) << kModes[mode - 6] << true;
    }
}

void TestAutoFeedJobs::nothingSent()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(bool, noHeader);
    FeedRig rig;
    if (noHeader)
        rig.host.settings.plotFile = rig.writePlot("base.plt", "IN;SP1;PU0,0;PD100,0;SP2;PU0,0;PD0,100;!PG;");
    else
        rig.host.settings.feed.sheetsLeft = 0;
    rig.run(procedure);
    QCOMPARE(rig.received(), QString());
}

void TestAutoFeedJobs::preFeedOfTheLastSheet_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("preFeeds");
    QTest::newRow("7, count 1: pre-feeds while there is paper") << &CutterJobs::afBlankFeedWhileCut << 1 << 1;
    QTest::newRow("9, count 1") << &CutterJobs::afFileFeedWhileCut << 1 << 0;
    QTest::newRow("11, count 1") << &CutterJobs::afQrFeedWhileCut << 1 << 0;
}

void TestAutoFeedJobs::preFeedOfTheLastSheet()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(int, count);
    QFETCH(int, preFeeds);
    FeedRig rig;
    rig.host.settings.feed.sheetsLeft = count;
    rig.run(procedure);
    QCOMPARE(rig.sim->cutter().instructions().count(QStringLiteral("CMD:110")), preFeeds);
    QCOMPARE(rig.sim->cutter().finishedSheets().size(), count);
}

void TestAutoFeedJobs::startPositionTruncates_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("offsetMm");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<QString>("move");
    const JobProcedure blank = &CutterJobs::afBlankSingleFeed;
    QTest::newRow("d 3000") << blank << "MD0,0,4000,3000,3;" << 0 << false << "PU120,7800;";
    QTest::newRow("d 3001 truncates") << blank << "MD0,0,4000,3001,3;" << 0 << false << "PU120,7800;";
    QTest::newRow("d 3002") << blank << "MD0,0,4000,3002,3;" << 0 << false << "PU120,7799;";
    QTest::newRow("offset -5 mm") << blank << "MD0,0,4000,3000,3;" << -5 << false << "PU120,7600;";
    QTest::newRow("rotated: the third number") << blank << "MD0,0,4000,3001,3;" << 0 << true << "PU120,7300;";
    // The QR modes take the size from the plot file, not from the file a code names.
    QTest::newRow("QR, rotated plot file") << &CutterJobs::afQrSingleFeed << "MD0,0,4000,3001,5;" << 0 << true
                                           << "PU120,7300;";
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
    rig.run(procedure);
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
    const QStringList job7{"job7"};
    QTest::newRow("off: no probe") << file << false << job7 << QStringList{found} << kPlace + md;
    QTest::newRow("mark at P1") << file << true << job7 << QStringList{found} << kPlace + mark + md;
    QTest::newRow("mark at P3") << file << true << job7 << QStringList{"NOMARK;", "NOMARK;", found}
                                << kPlace + mark + p2 + mark + p3 + mark + md;
    QTest::newRow("no mark: stays at P4") << file << true << job7 << QStringList{"NOMARK;"}
                                          << kPlace + mark + p2 + mark + p3 + mark + p4 + mark + md;
    QTest::newRow("QR off: only the final read") << qrFile << false << job7 << QStringList{found}
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
    rig.sim->cutter().config().qrReplies = qrReplies;
    rig.sim->cutter().config().markReplies = markReplies;
    rig.run(procedure);
    const QString received = rig.received();
    QCOMPARE(received.mid(received.indexOf(kPlace), expected.size()), expected);
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
    rig.sim->cutter().config().mdReplies = QStringList{"NOMARK;", "MD_OK;"};
    rig.run(procedure);
    QVERIFY(rig.received().contains("MD0,0,4000,3000,4;!PG;CMD:10;" + kRelease));
    QCOMPARE(rig.sheetsLeft(), 0); // the uncut sheet is counted too
    const QVector<SimSheet> sheets = rig.sim->cutter().finishedSheets();
    QCOMPARE(sheets.size(), 2);
    QVERIFY(sheets.at(0).lines.isEmpty());
    QVERIFY(!sheets.at(1).lines.isEmpty());
    if (pause)
        QVERIFY(rig.gapMs("MD", "!PG") >= 400);
}

void TestAutoFeedJobs::qrSelectionPerSheet_data()
{
    QTest::addColumn<QStringList>("qrReplies");
    QTest::addColumn<QList<bool>>("cut"); // per sheet: cut, or moved out uncut
    QTest::newRow("no code on the first sheet, then the last file is kept")
        << QStringList{"NOQR;", "job7", "NOQR;"} << QList<bool>{false, true, true};
    QTest::newRow("a missing file is not cut, nor kept") << QStringList{"job7", "missing", "NOQR;"}
                                                         << QList<bool>{true, false, false};
    QTest::newRow("a name leaving the folder, a file without MD")
        << QStringList{"../base", "job7", "plain"} << QList<bool>{false, true, false};
}

void TestAutoFeedJobs::qrSelectionPerSheet()
{
    QFETCH(QStringList, qrReplies);
    QFETCH(QList<bool>, cut);
    FeedRig rig;
    QVERIFY(QDir(rig.dir.path()).mkpath("plots"));
    rig.host.settings.plotFile = rig.writePlot("plots/base.plt", outerFirstPlot());
    rig.writePlot("plots/job7.plt", outerFirstPlot(QStringLiteral("MD0,0,4000,3000,5;")));
    rig.writePlot("plots/plain.plt", "IN;SP2;PU0,0;PD100,100;!PG;");
    rig.sim->cutter().config().qrReplies = qrReplies;
    rig.jobs->afQrFeedWhileCut();
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
    // The cutter leaves the first pre-feed check unanswered.
    rig.onInstruction = [&](const QString &instruction) {
        if (instruction == QLatin1String("CMD:5") && rig.gapMs("CMD:5", "CMD:108") < 0)
            rig.sim->cutter().config().scriptedReplies = QStringList{QString()};
    };
    rig.jobs->afQrFeedWhileCut();
    QVERIFY(rig.received().contains(kIn + kPaper + kPreFeed + kPlace));
    QCOMPARE(rig.sim->cutter().instructions().count(QStringLiteral("CMD:110")), 1);
    QVERIFY(rig.gapMs("CMD:5", "CMD:110") >= 1000); // the read waited its second
    QCOMPARE(rig.sheetsLeft(), 0);
}

void TestAutoFeedJobs::emptyContainerAsksOperator_data()
{
    QTest::addColumn<JobProcedure>("procedure");
    QTest::addColumn<int>("containerSheets");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<int>("sheetsLeft");
    QTest::addColumn<QString>("after"); // sent from the question on
    const JobProcedure single = &CutterJobs::afBlankSingleFeed;
    const JobProcedure whileCutting = &CutterJobs::afBlankFeedWhileCut;
    // Single Feed: the second sheet finds the container empty.
    QTest::newRow("single, Cancel ends") << single << 1 << 3 << false << 1 << 2 << QString();
    QTest::newRow("single, OK starts the sheet afresh") << single << 1 << 3 << true << 1 << 0 << kPaper + kFeed;
    // Feed While Cutting: one sheet fed, one pre-fed, the box once the second is out.
    QTest::newRow("while cutting, Cancel ends") << whileCutting << 2 << 4 << false << 1 << 2 << QString();
    QTest::newRow("while cutting, OK feeds from the container")
        << whileCutting << 2 << 4 << true << 1 << 0 << kPaper + kFeed + kPaper + kIn;
    QTest::newRow("while cutting, nothing left to cut: no box") << whileCutting << 2 << 2 << false << 0 << 0
                                                                << QString();
}

void TestAutoFeedJobs::emptyContainerAsksOperator()
{
    QFETCH(JobProcedure, procedure);
    QFETCH(int, containerSheets);
    QFETCH(int, count);
    QFETCH(bool, answerOk);
    QFETCH(int, boxes);
    QFETCH(int, sheetsLeft);
    QFETCH(QString, after);
    FeedRig rig(containerSheets);
    rig.host.settings.feed.sheetsLeft = count;
    rig.host.answers = {answerOk};
    int atBox = -1;
    rig.host.onAsk = [&] {
        atBox = rig.received().size();
        rig.sim->cutter().config().sheets = 5; // the operator loads media
    };
    rig.run(procedure);
    QCOMPARE(rig.host.boxes, boxes);
    QCOMPARE(rig.sheetsLeft(), sheetsLeft);
    if (boxes > 0) {
        QVERIFY(rig.host.states.contains("No paper: waiting for the operator to load the media container..."));
        QVERIFY2(rig.received().mid(atBox).startsWith(after), qPrintable(rig.received().mid(atBox, 60)));
        QVERIFY(answerOk || rig.received().size() == atBox); // Cancel: nothing more is sent
    }
}

void TestAutoFeedJobs::feedsKeepTheInterval_data()
{
    QTest::addColumn<bool>("single");
    QTest::newRow("single feed") << true;
    QTest::newRow("feed while cutting") << false;
}

// The cutter answers at once, yet a sheet is fed ("CMD:109", Single Feed) or
// moved in with the cut one going out ("CMD:105" after "CMD:111", Feed While
// Cutting) only a whole interval after the previous feed or pre-feed.
void TestAutoFeedJobs::feedsKeepTheInterval()
{
    QFETCH(bool, single);
    FeedRig rig;
    rig.host.settings.feed.feedIntervalSecs = 1;
    single ? rig.jobs->afBlankSingleFeed() : rig.jobs->afBlankFeedWhileCut();
    QCOMPARE(rig.sheetsLeft(), 0);
    qint64 lastFeed = -1;
    QString previous;
    int checked = 0;
    for (const auto &a : rig.arrivals) {
        const bool fromContainer = a.first.startsWith(QLatin1String("CMD:109"));
        const bool moveIn = single ? fromContainer
                                   : a.first.startsWith(QLatin1String("CMD:105")) && previous == "CMD:111";
        if (moveIn && lastFeed >= 0) {
            QVERIFY2(a.second - lastFeed >= 1000, qPrintable(QString::number(a.second - lastFeed)));
            ++checked;
        }
        if (fromContainer || a.first == QLatin1String("CMD:110"))
            lastFeed = a.second;
        previous = a.first;
    }
    QCOMPARE(checked, single ? 2 : 3);
    QVERIFY(std::any_of(rig.host.states.cbegin(), rig.host.states.cend(),
                        [](const QString &s) { return s.endsWith(QLatin1String("s for the feeder...")); }));
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
        if (instruction != QLatin1String("CMD:5"))
            return;
        rig.sim->faults().silent = true;
        QTimer::singleShot(200, [&] { rig.host.running = false; });
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
