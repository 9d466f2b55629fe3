#include "autofeed.h"

#include "cutterjobs.h"
#include "cutterprotocol.h"
#include "mdsize.h"
#include "pltsolve.h"
#include "sheet.h"
#include "usboperate.h"

#include <QElapsedTimer>
#include <QtDebug>

#include <algorithm>
#include <optional>

namespace P = CutterProtocol;

std::array<QPoint, 4> feedPositions(const FeedSettings &feed, int designWidth)
{
    const int x0 = feed.feedStartX;
    const int y0 = feed.feedCenterY + feed.offsetArgMm * kUnitsPerMm - designWidth / 2; // truncates toward zero
    return {QPoint(x0, y0), QPoint(x0, y0 + feed.scanStepY), QPoint(x0 + feed.scanStepX, y0 + feed.scanStepY),
            QPoint(x0 + feed.scanStepX, y0)};
}

// One run of an auto-feed procedure. Every step that talks to the cutter
// returns false when the run must end: Stop pressed while the cutter is
// silent, or the cutter gone (its sheet is then not counted as done).
class CutterJobs::AutoFeed
{
public:
    AutoFeed(CutterJobs &jobs, const WorkMode &mode)
        : m_jobs(jobs), m_mode(mode), m_row(mode.feed), m_usb(jobs.m_usb), m_host(jobs.m_host)
    {
        m_jobs.watchLink(m_usb, m_jobs.jobStop());
    }
    ~AutoFeed() { m_jobs.unwatchLink(m_usb); }
    AutoFeed(const AutoFeed &) = delete;
    AutoFeed &operator=(const AutoFeed &) = delete;

    void run();
    int sheetsDone() const { return m_done; }
    int sheetsUncut() const { return m_noMark + m_noQrFile; }
    // Why sheets were moved out uncut: "1 no mark, 2 no QR file".
    QString uncutReasons() const;

private:
    enum class Sheet { Done, Again, End }; // Again: paper was loaded, the sheet starts afresh

    bool prepareRun();
    bool goOn();
    Sheet singleFeedSheet();
    Sheet feedWhileCuttingSheet();

    // Nothing while paper is present; otherwise how the sheet ends.
    std::optional<Sheet> checkPaper();
    bool askForMedia();
    bool noteContainer();
    bool feedFromContainer();
    bool preFeed();
    bool sheetIn();
    bool placeAtStart();
    bool registerAndCut();
    bool cutQr();
    bool cutRegistered(const QString &jobText);
    bool ejectUncut(const QString &why, RunRecord::Outcome outcome, bool pause);
    bool smartSearch(const QString &query, const QString &negative, const QString &what);
    bool selectQrFile();
    bool release();
    void startFeedInterval();
    bool waitForFeedTime();
    void sheetDone();

    std::optional<QString> ask(const QString &cmd, int timeoutMs = -1);
    bool send(const QString &text) { return m_usb.sendCmd(text); }
    bool command(const QString &cmd, const QString &expected);
    bool idle() { return m_usb.waitFree() == WaitOutcome::Done; }
    bool moveTo(QPoint at);
    void status(const QString &what);
    FeedSettings feed() const { return m_host.jobSettings().feed; }
    std::array<QPoint, 4> positions() const { return feedPositions(feed(), m_size.width()); }

    CutterJobs &m_jobs;
    const WorkMode &m_mode;
    const AutoFeedRow &m_row;
    UsbOperate &m_usb;
    JobHost &m_host;
    PreparedSheet m_sheet; // Blank and Mark: the job of every sheet
    QString m_folder;      // Qr: the folder of the files the codes name
    QString m_qrFile;      // Qr: the file the last code named ("" none yet)
    QSize m_size;          // design size; width = the MD instruction's fourth number
    QElapsedTimer m_clock; // monotonic, started with the run
    qint64 m_nextFeedMs = 0;
    bool m_firstSheet = true;     // Feed While Cutting: the next sheet comes from the container
    bool m_preFed = false;
    bool m_containerEmpty = false; // Feed While Cutting: the container said it had no paper
    qint64 m_sheetStartMs = 0; // on m_clock: when the sheet being handled began
    qint64 m_sheetsMs = 0;     // the sheets done took this long together
    int m_done = 0;         // sheets out of the cutter, counted
    int m_noMark = 0;       // of those, moved out uncut: the mark was not found
    int m_noQrFile = 0;     // moved out uncut: no plot file for the code
    bool m_sheetUncut = false;
    RunRecord::Outcome m_uncutOutcome = RunRecord::Outcome::UncutNoMark;
};

void CutterJobs::runAutoFeed(const WorkMode &mode)
{
    QElapsedTimer clock;
    clock.start();
    QString done;
    {
        AutoFeed run(*this, mode); // lets go of the link when it ends
        run.run();
        const int uncut = run.sheetsUncut();
        done = uncut ? tr("Finished: %1 sheets cut, %2 moved out uncut: %3")
                           .arg(run.sheetsDone() - uncut)
                           .arg(uncut)
                           .arg(run.uncutReasons())
                     : tr("Finished: %1 sheets cut").arg(run.sheetsDone());
    }
    closeSheet(brokenOff(JobLink::Usb)); // a sheet the run left behind
    reportEnd(done, clock.elapsed(), true);
}

QString CutterJobs::AutoFeed::uncutReasons() const
{
    QStringList reasons;
    if (m_noMark)
        reasons << tr("%1 no mark").arg(m_noMark);
    if (m_noQrFile)
        reasons << tr("%1 no QR file").arg(m_noQrFile);
    return reasons.join(QStringLiteral(", "));
}

void CutterJobs::AutoFeed::run()
{
    if (feed().sheetsLeft <= 0) {
        m_jobs.fail(tr("Nothing to do: Count is 0"));
        return;
    }
    if (!prepareRun() || !m_jobs.usbReady())
        return;
    m_clock.start(); // the first feed may follow at once
    while (goOn()) {
        const Sheet sheet = m_row.feeding == Feeding::Single ? singleFeedSheet() : feedWhileCuttingSheet();
        if (sheet == Sheet::End)
            return;
    }
}

bool CutterJobs::AutoFeed::prepareRun()
{
    const JobSettings settings = m_host.jobSettings();
    if (m_row.content != Content::Qr) {
        m_sheet = prepareSheetFile(settings.plotFile, m_jobs.sheetOptions(m_mode, JobLink::Usb, settings));
        m_size = parseMdSize(m_sheet.header);
        return m_jobs.checkSheet(m_sheet, settings.plotFile);
    }
    // The QR modes only check the plot file; its header gives the design size
    // of every sheet, whatever file a code names.
    const QString header = leadingMdRun(PltSolve().readPlotFile(settings.plotFile));
    if (header.isEmpty()) {
        m_jobs.fail(m_jobs.plotFileProblem(settings.plotFile));
        return false;
    }
    m_folder = plotFolder(settings.plotFile);
    m_size = parseMdSize(header);
    if (settings.rotate)
        m_size.transpose();
    return true;
}

bool CutterJobs::AutoFeed::goOn()
{
    return m_jobs.m_control.running() && feed().sheetsLeft > 0 && m_usb.deviceExists();
}

CutterJobs::AutoFeed::Sheet CutterJobs::AutoFeed::singleFeedSheet()
{
    if (const std::optional<Sheet> stop = checkPaper())
        return *stop;
    if (!waitForFeedTime())
        return Sheet::End;
    if (!m_jobs.m_control.running())
        return Sheet::End; // Stop while waiting for the feeder: no new sheet is begun
    if (!feedFromContainer() || !sheetIn() || !placeAtStart() || !registerAndCut() || !release())
        return Sheet::End;
    status(tr("moving the sheet out..."));
    const FeedSettings f = feed();
    const int mm = m_row.lastMove == LastMove::EjectDist ? f.ejectDistMm : f.feedDistMm;
    if (!command(P::moveSheetCmd(mm), P::kMoveOk))
        return Sheet::End;
    sheetDone();
    return Sheet::Done;
}

CutterJobs::AutoFeed::Sheet CutterJobs::AutoFeed::feedWhileCuttingSheet()
{
    if (m_firstSheet) {
        if (const std::optional<Sheet> stop = checkPaper())
            return *stop;
        if (!feedFromContainer() || !noteContainer())
            return Sheet::End;
        m_firstSheet = false;
    }
    if (!sheetIn() || !preFeed() || !placeAtStart() || !registerAndCut() || !release())
        return Sheet::End;
    if (!waitForFeedTime())
        return Sheet::End;
    status(tr("moving the sheet out and the next one in..."));
    if (!command(P::moveSheetCmd(feed().feedDistMm), P::kMoveOk))
        return Sheet::End;
    sheetDone();
    if (!m_containerEmpty) {
        if (!noteContainer())
            return Sheet::End;
        if (!m_preFed && !m_containerEmpty)
            m_firstSheet = true; // nothing came in behind this sheet: the next one comes from the container
        return Sheet::Done;
    }
    // With nothing left to cut the run ends either way: no need to ask.
    if (feed().sheetsLeft <= 0)
        return Sheet::Done;
    if (!askForMedia())
        return Sheet::End;
    m_containerEmpty = false;
    m_firstSheet = true;
    return Sheet::Done;
}

// --- Steps ---

std::optional<CutterJobs::AutoFeed::Sheet> CutterJobs::AutoFeed::checkPaper()
{
    status(tr("checking for paper..."));
    const std::optional<QString> reply = ask(P::kPaperCheck);
    if (!reply)
        return Sheet::End;
    if (*reply == P::kPaperOk)
        return std::nullopt;
    return askForMedia() ? Sheet::Again : Sheet::End;
}

bool CutterJobs::AutoFeed::askForMedia()
{
    m_jobs.show(tr("No paper: waiting for the operator to load the media container..."));
    if (m_host.askForMedia())
        return true;
    m_jobs.fail(tr("Stopped: no paper was loaded (%1 sheets done)").arg(m_done));
    return false;
}

// Feed While Cutting: remembers an empty container (a flag once set stays set).
bool CutterJobs::AutoFeed::noteContainer()
{
    const std::optional<QString> reply = ask(P::kPaperCheck);
    if (!reply)
        return false;
    if (*reply != P::kPaperOk)
        m_containerEmpty = true;
    return true;
}

bool CutterJobs::AutoFeed::feedFromContainer()
{
    status(tr("feeding..."));
    if (!command(P::kFeedSheet, P::kFeedOk))
        return false;
    startFeedInterval();
    return command(P::moveSheetCmd(feed().feedDistMm), P::kMoveOk);
}

bool CutterJobs::AutoFeed::preFeed()
{
    status(tr("checking for the next sheet..."));
    // Mode 11 reads with a limit; no reply in time counts as paper there.
    m_preFed = false;
    const std::optional<QString> reply = ask(P::kPaperCheck, m_row.preFeedCheckMs);
    if (!reply)
        return false;
    const bool paper = m_row.anyReplyButNoPaper ? *reply != P::kNoPaper : *reply == P::kPaperOk;
    if (!paper || (m_row.onlyIfMoreSheets && feed().sheetsLeft <= 1))
        return true;
    status(tr("pre-feeding the next sheet..."));
    if (!command(P::kPreFeed, P::kOk))
        return false;
    m_preFed = true;
    startFeedInterval();
    return true;
}

bool CutterJobs::AutoFeed::sheetIn()
{
    m_jobs.openSheet(m_mode, JobLink::Usb, m_row.content == Content::Qr ? m_qrFile : m_host.jobSettings().plotFile);
    return command(P::kBeginSheet, P::kOk) && m_usb.pause(m_jobs.autoFeedPauses.afterSheetIn);
}

bool CutterJobs::AutoFeed::placeAtStart()
{
    status(tr("moving to the start position..."));
    return moveTo(positions()[0]);
}

bool CutterJobs::AutoFeed::registerAndCut()
{
    switch (m_row.content) {
    case Content::Blank:
        status(tr("cutting..."));
        return command(P::kAtJobStart, P::kOk) && send(m_sheet.jobText) && idle();
    case Content::Mark:
        return smartSearch(P::kMarkSearch, P::kNoMark, tr("searching for the mark..."))
            && command(P::kAtJobStart, P::kOk) && cutRegistered(m_sheet.jobText);
    case Content::Qr:
        return cutQr();
    }
    return false;
}

bool CutterJobs::AutoFeed::cutQr()
{
    if (!smartSearch(P::kQrRead, P::kNoQr, tr("searching for the QR code...")) || !selectQrFile())
        return false;
    const PreparedSheet sheet = m_qrFile.isEmpty()
        ? PreparedSheet()
        : prepareSheetFile(m_qrFile, m_jobs.sheetOptions(m_mode, JobLink::Usb, m_host.jobSettings()));
    if (!sheet.ok)
        return ejectUncut(tr("no plot file for this sheet, moving it out uncut..."), RunRecord::Outcome::UncutNoQrFile,
                          false);
    m_host.showJobPaths(PltSolve().parsePaths(sheet.jobText));
    // The mark search goes on from where the QR search left the carriage.
    return smartSearch(P::kMarkSearch, P::kNoMark, tr("searching for the mark..."))
        && command(P::kAtJobStart, P::kOk) && cutRegistered(sheet.jobText);
}

// The header's first MD instruction goes first; the cutter answers "MD_OK;"
// when it has registered the sheet by its mark.
bool CutterJobs::AutoFeed::cutRegistered(const QString &jobText)
{
    int split = jobText.indexOf(QLatin1Char(';')) + 1;
    if (split <= 0)
        split = jobText.size();
    QString first = jobText.left(split);
    if (m_row.content == Content::Qr && split >= 2)
        first[split - 2] = QLatin1Char('4');
    status(tr("registering..."));
    const std::optional<QString> reply = ask(first);
    if (!reply)
        return false;
    m_jobs.m_sheet.markFound = *reply == P::kMdOk;
    if (*reply != P::kMdOk)
        return ejectUncut(tr("mark not found, moving the sheet out uncut..."), RunRecord::Outcome::UncutNoMark,
                          m_row.pauseBeforeUncut);
    status(tr("cutting..."));
    return send(jobText.mid(split)) && idle();
}

bool CutterJobs::AutoFeed::ejectUncut(const QString &why, RunRecord::Outcome outcome, bool pause)
{
    status(why);
    m_sheetUncut = true;
    m_uncutOutcome = outcome;
    if (pause && !m_usb.pause(m_jobs.autoFeedPauses.beforeUncutEject))
        return false;
    return send(P::kEndOfPage) && idle();
}

// Asks at the carriage's place, then at P2, P3 and P4 while the reply is the
// negative one; at P4 the reply is not examined. The carriage stays where the
// search stopped.
bool CutterJobs::AutoFeed::smartSearch(const QString &query, const QString &negative, const QString &what)
{
    if (!feed().smartScan)
        return true;
    status(what);
    const std::array<QPoint, 4> at = positions();
    for (int i = 0;; ++i) {
        const std::optional<QString> reply = ask(query);
        if (!reply)
            return false;
        if (*reply != negative || i == 3)
            return true;
        if (!moveTo(at[i + 1]))
            return false;
    }
}

// "NOQR;" keeps the file of the previous sheet; any other text names the
// file in the plot file's folder, if it is a safe file name.
bool CutterJobs::AutoFeed::selectQrFile()
{
    status(tr("reading the QR code..."));
    const std::optional<QString> reply = ask(P::kQrRead);
    if (!reply)
        return false;
    m_jobs.m_sheet.qrText = *reply;
    if (*reply != P::kNoQr) {
        m_qrFile = qrPlotFile(m_folder, *reply);
        if (m_qrFile.isEmpty())
            qWarning() << "QR text does not name a plot file in" << m_folder << "- ignored:" << *reply;
    }
    m_jobs.m_sheet.plotFile = m_qrFile;
    return true;
}

bool CutterJobs::AutoFeed::release()
{
    return command(P::kEndSheet, P::kOk) && command(P::kAfterSheet, P::kOk);
}

void CutterJobs::AutoFeed::startFeedInterval()
{
    m_nextFeedMs = m_clock.elapsed() + qint64(feed().feedIntervalSecs) * 1000;
}

// Feeds are at least feedIntervalSecs apart, measured on the run's monotonic clock.
bool CutterJobs::AutoFeed::waitForFeedTime()
{
    for (;;) {
        const qint64 left = m_nextFeedMs - m_clock.elapsed();
        if (left <= 0)
            return true;
        status(tr("waiting %1 s for the feeder...").arg((left + 999) / 1000));
        if (!m_usb.pause(int(std::min<qint64>(left, 250))))
            return false;
    }
}

void CutterJobs::AutoFeed::sheetDone()
{
    ++m_done;
    const qint64 now = m_clock.elapsed();
    m_sheetsMs += now - m_sheetStartMs;
    m_sheetStartMs = now;
    if (m_sheetUncut)
        ++(m_uncutOutcome == RunRecord::Outcome::UncutNoMark ? m_noMark : m_noQrFile);
    m_jobs.closeSheet(m_sheetUncut ? m_uncutOutcome : RunRecord::Outcome::Cut);
    m_sheetUncut = false;
    m_host.setSheetsLeft(feed().sheetsLeft - 1);
}

// --- Talking to the cutter ---

// Sends cmd and reads one reply. nullopt when the run must end: stopped, or
// the cutter gone (an unlimited read ends empty only then).
std::optional<QString> CutterJobs::AutoFeed::ask(const QString &cmd, int timeoutMs)
{
    if (!send(cmd))
        return std::nullopt;
    const QString reply = m_usb.readReply(timeoutMs);
    if (m_usb.abandoned() || (reply.isEmpty() && (timeoutMs < 0 || !m_usb.deviceExists())))
        return std::nullopt;
    return reply;
}

bool CutterJobs::AutoFeed::command(const QString &cmd, const QString &expected)
{
    return send(cmd) && m_usb.waitReply(expected) == WaitOutcome::Done;
}

bool CutterJobs::AutoFeed::moveTo(QPoint at)
{
    return send(P::penUpMove(at.x(), at.y())) && m_usb.pause(m_jobs.autoFeedPauses.afterMove) && idle();
}

// "Sheet 2 of 5: cutting...": the sheet of this run and how many the run
// has in all, with `count` as it reads now.
// "Sheet 7 of 20: cutting... (4 min 2 s so far, about 5 min 10 s left)": the
// estimate once a sheet has been timed (see timeLeftMs).
void CutterJobs::AutoFeed::status(const QString &what)
{
    const FeedSettings f = feed();
    const int total = m_done + std::max(f.sheetsLeft, 1);
    const QString sheet = tr("Sheet %1 of %2: %3").arg(m_done + 1).arg(total).arg(what);
    const QString elapsed = durationText(m_clock.elapsed());
    const std::optional<qint64> left = timeLeftMs(m_done, m_clock.elapsed() - m_sheetStartMs,
                                                  m_sheetsMs, f.sheetsLeft, f.feedIntervalSecs);
    m_jobs.show(left ? tr("%1 (%2 so far, about %3 left)").arg(sheet, elapsed, durationText(*left))
                     : tr("%1 (%2 so far)").arg(sheet, elapsed));
}

std::optional<qint64> timeLeftMs(int sheetsDone, qint64 intoSheetMs, qint64 doneSheetsMs, int sheetsLeft,
                                 int feedIntervalSecs)
{
    if (sheetsDone <= 0 || sheetsLeft <= 0)
        return std::nullopt;
    const qint64 perSheet = std::max(doneSheetsMs / sheetsDone, qint64(feedIntervalSecs) * 1000);
    return std::max<qint64>(perSheet * sheetsLeft - intoSheetMs, 0);
}
