#include "cutterjobs.h"

#include "cutterprotocol.h"
#include "linkhelpers.h"
#include "mdsize.h"
#include "pltsolve.h"
#include "rj45socket.h"
#include "sheet.h"
#include "usboperate.h"

#include <QDateTime>
#include <QRegularExpression>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QtDebug>

#include <cmath>

namespace P = CutterProtocol;

namespace {

SheetLink sheetLink(JobLink link)
{
    return link == JobLink::Usb ? SheetLink::Usb : SheetLink::Network;
}

// The header of the plot file, "" when the file is empty, unreadable or does
// not begin with an MD instruction.
QString plotHeader(const QString &path)
{
    return leadingMdRun(PltSolve().readPlotFile(path));
}

int placesOf(MatrixLayout layout)
{
    switch (layout) {
    case MatrixLayout::Two:
        return 2;
    case MatrixLayout::Four:
        return 4;
    default:
        return 1;
    }
}

} // namespace

// One procedure's use of its link: while it lives, the link gives up a wait
// when Stop was pressed and the cutter is silent, and the state label says
// when the job is waiting for the cutter.
class CutterJobs::Session
{
public:
    Session(CutterJobs &jobs, const WorkMode &mode, JobLink kind)
        : jobs(jobs), row(mode), kind(kind), link(jobs.linkFor(kind))
    {
        jobs.watchLink(link, jobs.jobStop());
    }
    ~Session() { jobs.unwatchLink(link); }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    CutterJobs &jobs;
    const WorkMode &row;
    const JobLink kind;
    CutterLink &link;
};

// An origin command's, the calibration's or the camera set-up's use of a
// link: it gives up once the cutter is silent, or when `giveUp` holds. The
// state line is left alone (these actions say their end on the result line).
class CutterJobs::Watch
{
public:
    Watch(CutterJobs &jobs, JobLink kind, const std::function<bool()> &giveUp = {})
        : m_jobs(jobs), m_link(jobs.linkFor(kind))
    {
        jobs.watchLink(m_link, [&jobs, giveUp] { return jobs.m_cutterSilent || (giveUp && giveUp()); }, false);
    }
    ~Watch() { m_jobs.unwatchLink(m_link); }
    Watch(const Watch &) = delete;
    Watch &operator=(const Watch &) = delete;

private:
    CutterJobs &m_jobs;
    CutterLink &m_link;
};

CutterLink::StopCondition CutterJobs::jobStop()
{
    return [this] { return m_cutterSilent && !m_control.running(); };
}

void CutterJobs::watchLink(CutterLink &link, CutterLink::StopCondition giveUp, bool showWaiting)
{
    m_cutterSilent = false;
    link.setStopCondition(std::move(giveUp));
    link.setWaitingHook([this, showWaiting](bool waiting) {
        m_cutterSilent = waiting;
        if (showWaiting)
            m_host.showJobState(waiting ? tr("Waiting for the cutter...") : m_state);
    });
}

void CutterJobs::unwatchLink(CutterLink &link)
{
    link.setStopCondition(nullptr);
    link.setWaitingHook(nullptr);
    m_endedSilent = m_cutterSilent; // for the job's end
    m_cutterSilent = false;
}

// The matrix loop's working values.
struct CutterJobs::MatrixRun
{
    QSize size;   // design size: height c along the first axis, width d along the second
    QPoint origin; // start origin X0, Y0
    int cell = 0;
    int sheet = 1;
    QElapsedTimer clock; // the run's, for the operator
};

QString calibrationPatternIn(const QString &programDir)
{
    const QDir dir(programDir);
    const QString beside = dir.filePath(QStringLiteral("CIR.plt"));
    const QString installed =
        QDir::cleanPath(dir.filePath(QStringLiteral(CUTTERDESK_DATA_FROM_BIN "/CIR.plt")));
    return !QFile::exists(beside) && QFile::exists(installed) ? installed : beside;
}

CutterJobs::CutterJobs(JobHost &host, JobControl &control, UsbOperate &usb, RJ45Socket &net)
    : calibrationPatternPath(calibrationPatternIn(QCoreApplication::applicationDirPath()))
    , m_host(host)
    , m_control(control)
    , m_usb(usb)
    , m_net(net)
{
}

void CutterJobs::run(const WorkMode &mode, JobLink link)
{
    m_logError.clear();
    runJob(mode, link);
    m_logError.clear(); // said with the job's result, not with the next action's
}

void CutterJobs::runJob(const WorkMode &mode, JobLink link)
{
    QElapsedTimer clock;
    clock.start();
    m_failed = m_endedSilent = m_connectionLost = false;
    m_oddReply.clear();
    m_usb.setDevice(m_host.jobSettings().usbDevice); // the auto-feed modes use it whatever the link type
    if (mode.procedure == Procedure::AutoFeed) {
        runAutoFeed(mode);
        return; // says its own end: it counts the sheets
    }
    if (link == JobLink::Usb && !usbReady())
        return;
    runSingleSheet(mode, link);
    reportEnd(tr("Finished"), clock.elapsed(), link == JobLink::Usb);
}

void CutterJobs::fail(const QString &why)
{
    m_failed = true;
    say(why, true);
}

// The result line, with the run log's trouble when a line could not be written.
void CutterJobs::say(const QString &text, bool failed)
{
    m_host.showResult(m_logError.isEmpty() ? text : tr("%1; the run log could not be written: %2").arg(text, m_logError),
                      failed);
}

// --- Run log ---

void CutterJobs::setRunLogFolder(const QString &folder)
{
    if (!m_runLog || folder != m_runLogFolder)
        m_runLog = std::make_unique<RunLog>(folder);
    m_runLogFolder = folder;
}

void CutterJobs::openSheet(const WorkMode &mode, JobLink link, const QString &plotFile)
{
    m_sheet = RunRecord();
    m_sheet.start = QDateTime::currentDateTime();
    m_sheet.mode = int(&mode - kWorkModes.data());
    m_sheet.link = link == JobLink::Usb ? m_usb.device() : m_net.ip();
    m_sheet.plotFile = plotFile;
    m_sheetOpen = true;
}

void CutterJobs::openSheet(const Session &s, const QString &plotFile)
{
    openSheet(s.row, s.kind, plotFile);
}

// Appends the open sheet's line; the run goes on when it cannot be written.
void CutterJobs::closeSheet(RunRecord::Outcome outcome)
{
    if (!m_sheetOpen)
        return;
    m_sheetOpen = false;
    m_sheet.outcome = outcome;
    m_sheet.end = QDateTime::currentDateTime();
    if (m_runLog && !m_runLog->append(m_sheet) && m_logError.isEmpty()) {
        m_logError = m_runLog->errorString();
        qWarning().noquote() << "run log:" << m_logError;
    }
}

// How a sheet ended that was broken off: the cutter silent or gone, or the session closing.
RunRecord::Outcome CutterJobs::brokenOff(JobLink link)
{
    const bool gone = link == JobLink::Usb ? !m_usb.holdsNode() : !m_net.isUsable();
    return m_connectionLost || m_cutterSilent || m_endedSilent || gone ? RunRecord::Outcome::CutterLost : RunRecord::Outcome::Stopped;
}

// After a job that did not fail: how it ended, and how long it took.
void CutterJobs::reportEnd(const QString &done, qint64 ms, bool usb)
{
    if (m_failed)
        return;
    const QString took = durationText(ms);
    if (m_endedSilent)
        fail(tr("Ended: the cutter stopped answering (%1)").arg(took));
    else if (usb && !m_usb.holdsNode()) // let go when it vanished
        fail(tr("Ended: the USB cutter is gone (%1)").arg(took));
    else if (m_connectionLost)
        fail(tr("Ended: the connection to the cutter was lost (%1)").arg(took));
    else if (!m_oddReply.isEmpty())
        fail(tr("Ended: the cutter's answer \"%1\" is not a position (%2)").arg(m_oddReply, took));
    else if (!m_control.running())
        say(tr("Stopped by the operator (%1)").arg(took), false);
    else
        say(tr("%1 (%2)").arg(done, took), false);
}

bool CutterJobs::usbReady()
{
    if (m_usb.deviceExists())
        return true;
    fail(tr("%1: %2").arg(tr("Not started"), usbProblem()));
    return false;
}

QString durationText(qint64 ms)
{
    const qint64 s = (ms + 500) / 1000;
    if (s < 60)
        return QCoreApplication::translate("CutterJobs", "%1 s").arg(s);
    if (s < 3600)
        return QCoreApplication::translate("CutterJobs", "%1 min %2 s").arg(s / 60).arg(s % 60);
    return QCoreApplication::translate("CutterJobs", "%1 h %2 min").arg(s / 3600).arg(s / 60 % 60);
}

QString CutterJobs::plotFileProblem(const QString &path) const
{
    const QFileInfo file(path);
    if (path.isEmpty())
        return tr("Not started: no plot file is chosen");
    if (!file.isFile() || !file.isReadable())
        return tr("Not started: %1 cannot be read").arg(file.fileName());
    if (file.size() > PltSolve::kMaxFileBytes)
        return tr("Not started: %1 is too large to be a plot file (%2 MB)")
            .arg(file.fileName())
            .arg(PltSolve::megabytes(file.size()));
    if (plotHeader(path).isEmpty())
        return tr("Not started: %1 does not begin with an MD instruction").arg(file.fileName());
    return QString();
}

// True when the sheet can be cut; otherwise says why.
bool CutterJobs::checkSheet(const PreparedSheet &sheet, const QString &path)
{
    if (sheet.ok)
        return true;
    QString problem = plotFileProblem(path);
    if (problem.isEmpty()) {
        const QString name = QFileInfo(path).fileName();
        problem = sheet.noLines ? tr("Not started: no crease or cut lines in %1").arg(name)
            : sheet.noSize
            ? tr("Not started: %1 gives no sheet size in its MD instruction, so it cannot be rotated").arg(name)
            : tr("Not started: %1 is too large to send").arg(name);
    }
    fail(problem);
    return false;
}

void CutterJobs::runSingleSheet(const WorkMode &mode, JobLink link)
{
    Session session(*this, mode, link);
    if (mode.procedure == Procedure::Matrix)
        runMatrix(session);
    else
        runOneSheet(session);
}

CutterLink &CutterJobs::linkFor(JobLink link)
{
    if (link == JobLink::Usb)
        return m_usb;
    return m_net;
}

void CutterJobs::show(const QString &state)
{
    m_state = state;
    m_host.showJobState(m_cutterSilent ? tr("Waiting for the cutter...") : state);
}

// --- Sheet preparation ---

SheetOptions CutterJobs::sheetOptions(const WorkMode &mode, JobLink link, const JobSettings &settings) const
{
    SheetOptions options = sheetOptionsFor(mode, sheetLink(link));
    options.rotate = settings.rotate;
    options.creasePasses = settings.creasePasses;
    options.cutPasses = settings.cutPasses;
    options.knifeOffset = settings.knifeOffsetMm * kUnitsPerMm;
    options.closeOffset = settings.closeOffsetMm * kUnitsPerMm;
    return options;
}

PreparedSheet CutterJobs::prepare(const Session &s, const QString &path) const
{
    return prepareSheetFile(path, sheetOptions(s.row, s.kind, m_host.jobSettings()));
}

QString plotFolder(const QString &plotFile)
{
    return QFileInfo(plotFile).path() + QLatin1Char('/');
}

QString qrPlotFile(const QString &folder, const QString &qrText)
{
    if (qrText.isEmpty() || qrText.contains(QLatin1Char('/')) || qrText.contains(QLatin1Char('\\'))
        || qrText.contains(QLatin1String("..")))
        return QString();
    for (const QChar ch : qrText) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f)
            return QString();
    }
    return folder + qrText + QStringLiteral(".plt");
}

// --- Shared steps ---

QString connectErrorText(const QString &address, quint16 port, const QString &cause)
{
    return QCoreApplication::translate("CutterJobs", "Connect Error: no answer from %1 port %2 (%3)")
        .arg(address)
        .arg(port)
        .arg(cause);
}

QString CutterJobs::connectErrorText(const QString &address) const
{
    return ::connectErrorText(address, m_net.cutterPort(), m_net.errorString());
}

bool CutterJobs::connectNetwork(const Session &s)
{
    if (s.kind != JobLink::Network)
        return true;
    const QString address = m_host.jobSettings().cutterAddress;
    if (!isValidIp(address)) {
        fail(tr("%1: the cutter address \"%2\" is not valid").arg(tr("Not started"), address));
        return false;
    }
    show(tr("Connecting to the cutter..."));
    if (m_net.connectHost(address))
        return true;
    m_host.showConnectError();
    fail(connectErrorText(address));
    return false;
}

bool CutterJobs::sendSheet(Session &s, const QString &jobText)
{
    const int connections = m_net.connections();
    bool ok = s.link.sendCmd(jobText);
    if (ok && s.row.readsJobReply) {
        const QString reply = s.link.readReply(); // the procedure goes on whatever it says
        if (s.link.abandoned())
            return false;
        if (s.row.sendHeader) // the header asks the cutter to register the sheet by its mark
            m_sheet.markFound = reply == P::kMdOk;
    }
    // A text that did not go out whole, a cutter gone, or a poll answered
    // over a new connection (the one that carried the text was lost) is no cut sheet.
    ok = ok && s.link.waitFree() == WaitOutcome::Done
        && (s.kind != JobLink::Network || m_net.connections() == connections);
    if (!ok && !s.link.abandoned())
        m_connectionLost = true;
    return ok;
}

bool CutterJobs::selectQrFile(Session &s, const QString &folder, QString &qrFile)
{
    show(tr("Reading the QR code..."));
    s.link.sendCmd(P::kQrRead);
    const QString reply = s.link.readReply();
    if (s.link.abandoned())
        return false;
    if (reply.isEmpty()) { // the connection went; a live cutter always answers
        m_connectionLost = true;
        return false;
    }
    m_sheet.qrText = reply;
    if (reply == P::kNoQr)
        return s.row.qr == QrSelection::EverySheet; // keeps the previous file
    qrFile = qrPlotFile(folder, reply);
    if (qrFile.isEmpty())
        qWarning() << "QR text does not name a plot file in" << folder << "- ignored:" << reply;
    return true;
}

std::optional<QPoint> CutterJobs::queryPosition(CutterLink &link)
{
    link.sendCmd(P::kPositionQuery);
    const QString reply = link.readReply();
    // Only a whole position reply is a position: moving from a made-up one
    // (no reply, garbage, half a reply) would send the carriage anywhere.
    static const QRegularExpression whole(QStringLiteral("\\A-?\\d+,-?\\d+;\\z"));
    m_oddReply.clear();
    if (!whole.match(reply).hasMatch()) {
        if (!reply.isEmpty()) {
            m_oddReply = reply;
            qWarning() << "The cutter's answer to the position query is not a position:" << reply;
        } else if (!link.abandoned()) {
            m_connectionLost = true;
        }
        return std::nullopt;
    }
    const P::Position p = P::parsePosition(reply);
    return QPoint(p.x, p.y);
}

// --- One sheet (modes 0, 2, 4) ---

void CutterJobs::runOneSheet(Session &s)
{
    const QString plotFile = m_host.jobSettings().plotFile;
    PreparedSheet sheet;
    if (s.row.qr == QrSelection::None) {
        sheet = prepare(s, plotFile);
        if (!checkSheet(sheet, plotFile))
            return;
    } else if (const QString problem = plotFileProblem(plotFile); !problem.isEmpty()) {
        fail(problem);
        return;
    }
    if (!connectNetwork(s))
        return;
    openSheet(s, plotFile);
    if (s.row.qr != QrSelection::None) {
        QString qrFile;
        if (!selectQrFile(s, plotFolder(plotFile), qrFile)) {
            const bool lost = s.link.abandoned() || m_connectionLost;
            closeSheet(lost ? brokenOff(s.kind) : RunRecord::Outcome::UncutNoQrFile);
            if (!lost)
                fail(tr("Not cut: the cutter found no QR code"));
            return;
        }
        if (qrFile.isEmpty()) {
            closeSheet(RunRecord::Outcome::UncutNoQrFile);
            fail(tr("Not cut: the QR code names no plot file"));
            return;
        }
        m_sheet.plotFile = qrFile;
        sheet = prepare(s, qrFile);
        if (!checkSheet(sheet, qrFile)) {
            closeSheet(RunRecord::Outcome::UncutNoQrFile);
            return;
        }
    }
    show(tr("Cutting the sheet..."));
    closeSheet(sendSheet(s, sheet.jobText) ? RunRecord::Outcome::Cut : brokenOff(s.kind));
}

// --- Matrix (modes 1, 3, 5) ---

void CutterJobs::runMatrix(Session &s)
{
    MatrixRun run;
    run.clock.start();
    const JobSettings settings = m_host.jobSettings();
    const QString folder = plotFolder(settings.plotFile);
    PreparedSheet sheet;
    if (s.row.qr == QrSelection::None) {
        sheet = prepare(s, settings.plotFile); // every sheet carries this text
        if (!checkSheet(sheet, settings.plotFile))
            return;
        run.size = parseMdSize(sheet.header);
    } else {
        const QString header = plotHeader(settings.plotFile);
        if (header.isEmpty()) {
            fail(plotFileProblem(settings.plotFile));
            return;
        }
        run.size = parseMdSize(header);
        if (settings.rotate)
            run.size.transpose();
    }
    if (!connectNetwork(s))
        return;
    const std::optional<QPoint> origin = queryPosition(s.link);
    if (!origin)
        return;
    run.origin = *origin;

    QString qrFile;
    for (; m_control.running() && s.link.isUsable(); ++run.sheet) {
        openSheet(s, settings.plotFile);
        if (s.row.qr == QrSelection::EverySheet) {
            if (!selectQrFile(s, folder, qrFile)) {
                closeSheet(brokenOff(s.kind));
                return;
            }
            sheet = qrFile.isEmpty() ? PreparedSheet() : prepare(s, qrFile);
            m_sheet.plotFile = qrFile;
        }
        if (!sheet.ok) {
            closeSheet(RunRecord::Outcome::UncutNoQrFile);
        } else {
            show(tr("Sheet %1, place %2 of %3: cutting...")
                     .arg(run.sheet)
                     .arg(run.cell + 1)
                     .arg(placesOf(m_host.jobSettings().matrix)));
            const bool cut = sendSheet(s, sheet.jobText);
            closeSheet(cut ? RunRecord::Outcome::Cut : brokenOff(s.kind));
            if (!cut)
                return;
        }
        const int places = placesOf(m_host.jobSettings().matrix);
        show(tr("Sheet %1 done; next: place %2 of %3. Press Space or Volume Up (%4 so far)")
                 .arg(run.sheet)
                 .arg((run.cell + 1) % places + 1)
                 .arg(places)
                 .arg(durationText(run.clock.elapsed())));
        m_control.waitForTrigger();
        if (!m_control.running())
            return;
        if (!moveToNextPlace(s, run))
            return;
    }
}

bool CutterJobs::moveToNextPlace(Session &s, MatrixRun &run)
{
    const JobSettings settings = m_host.jobSettings();
    // Which coordinates of the move carry a gap term, or no move at all.
    struct Place
    {
        bool first;
        bool second;
    };
    std::optional<Place> place;
    switch (settings.matrix) {
    case MatrixLayout::None:
        return true; // nothing is sent
    case MatrixLayout::One:
        place = Place{false, false};
        break;
    case MatrixLayout::Two: {
        static const Place two[2] = {{true, false}, {false, false}};
        if (run.cell >= 0 && run.cell < 2)
            place = two[run.cell];
        break;
    }
    case MatrixLayout::Four: {
        static const Place four[4] = {{false, true}, {true, true}, {true, false}, {false, false}};
        if (run.cell >= 0 && run.cell < 4)
            place = four[run.cell];
        break;
    }
    }

    if (place) {
        show(tr("Moving to the next place..."));
        const std::optional<QPoint> at = queryPosition(s.link);
        if (!at)
            return false;
        const int baseX = run.origin.x() - at->x();
        const int baseY = run.origin.y() - at->y();
        // A coordinate with a gap term is a double, written with at most 6
        // significant digits; the others are integers.
        const QString x = place->first
            ? QString::number(baseX + run.size.height() + settings.gapFirstMm * kUnitsPerMm, 'g', 6)
            : QString::number(baseX);
        const QString y = place->second
            ? QString::number(baseY + run.size.width() + settings.gapSecondMm * kUnitsPerMm, 'g', 6)
            : QString::number(baseY);
        s.link.sendCmd(P::knifeMove(x, y));
        if (s.link.waitFree() == WaitOutcome::Stopped)
            return false;
    }
    s.link.sendCmd(P::kAtJobStart);
    s.link.readReply(); // not examined
    if (s.link.abandoned())
        return false;
    if (settings.matrix == MatrixLayout::Two)
        run.cell = (run.cell + 1) % 2;
    else if (settings.matrix == MatrixLayout::Four)
        run.cell = (run.cell + 1) % 4;
    return true;
}

// --- Origin commands ---

QString CutterJobs::usbProblem() const
{
    return m_usb.inUseElsewhere() ? tr("the cutter is in use by another program")
                                  : tr("no USB cutter %1 is attached").arg(m_usb.device());
}

CutterJobs::Ready CutterJobs::readyLink(JobLink link, const QString &action)
{
    m_failed = false;
    m_oddReply.clear();
    const JobSettings settings = m_host.jobSettings();
    if (link == JobLink::Usb) {
        m_usb.setDevice(settings.usbDevice);
        if (m_usb.deviceExists())
            return Ready::Yes;
        fail(tr("%1: %2").arg(action, usbProblem()));
        return Ready::Failed;
    }
    if (!isValidIp(settings.cutterAddress)) {
        fail(tr("%1: the cutter address \"%2\" is not valid").arg(action, settings.cutterAddress));
        return Ready::Silent;
    }
    if (m_net.connectHost(settings.cutterAddress))
        return Ready::Yes;
    fail(connectErrorText(settings.cutterAddress));
    return Ready::Failed;
}

// The carriage position for an origin command; none (and the box, and the
// reason) when the cutter cannot be reached or does not answer.
std::optional<QPoint> CutterJobs::originPosition(JobLink link, const QString &action)
{
    const Ready ready = readyLink(link, action);
    if (ready == Ready::Silent)
        return std::nullopt;
    const std::optional<QPoint> at = ready == Ready::Yes ? queryPosition(linkFor(link)) : std::nullopt;
    if (!at) {
        m_host.showConnectError();
        if (!m_failed && !m_oddReply.isEmpty())
            fail(tr("%1: the cutter's answer \"%2\" is not a position").arg(action, m_oddReply));
        else if (!m_failed)
            fail(tr("%1: the cutter did not answer").arg(action));
    }
    return at;
}

std::optional<QPoint> CutterJobs::setOrigin(JobLink link)
{
    const Watch watch(*this, link);
    const std::optional<QPoint> at = originPosition(link, tr("Set Origin"));
    if (!at)
        return std::nullopt;
    m_host.showOriginDone(false);
    m_host.showResult(tr("Origin stored: %1, %2").arg(at->x()).arg(at->y()), false);
    return at;
}

void CutterJobs::backOrigin(JobLink link, int originX, int originY)
{
    const Watch watch(*this, link);
    const QString action = tr("Back Origin");
    const std::optional<QPoint> at = originPosition(link, action);
    if (!at)
        return;
    CutterLink &cutter = linkFor(link);
    const bool sent = cutter.sendCmd(P::knifeMove(originX - at->x(), originY - at->y()));
    const WaitOutcome moved = sent ? cutter.waitFree() : WaitOutcome::NoCutter;
    if (moved == WaitOutcome::Done) {
        cutter.sendCmd(P::kAtJobStart);
        cutter.readReply(); // not examined
    }
    if (gaveUp(cutter, action))
        return;
    if (moved != WaitOutcome::Done) {
        fail(tr("%1: the cutter was lost during the move").arg(action));
        return;
    }
    m_host.showOriginDone(true);
    m_host.showResult(tr("Back at the origin %1, %2").arg(originX).arg(originY), false);
}

// --- Automatic calibration ---

std::optional<MarkDeviation> markDeviation(const QString &reply)
{
    if (reply.isEmpty() || reply == P::kNoMark)
        return std::nullopt;
    const P::MarkReading mark = P::parseMark(reply);
    if (mark.count < 3)
        return std::nullopt;
    const double x = mark.values[0];
    const double y = mark.values[1];
    const double d = mark.values[2];
    if (!(d > 0.0))
        return std::nullopt;
    const double scale = (5.0 / d) * 0.5; // mm per image unit
    const MarkDeviation dev{(x - 320.0) * scale, (y - 240.0) * scale};
    const auto within = [](double v) { return v >= -5.0 && v <= 5.0; }; // false for NaN
    if (!within(dev.ex) || !within(dev.ey))
        return std::nullopt;
    return dev;
}


void CutterJobs::autoAdjust(JobLink link)
{
    if (!m_host.confirmCalibration())
        return;
    const QString action = tr("Auto-Adjust");
    QFile file(calibrationPatternPath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(tr("%1: the calibration pattern %2 cannot be read (%3)")
                 .arg(action, calibrationPatternPath, file.errorString()));
        return;
    }
    const QString pattern = QString::fromUtf8(file.readAll());
    file.close();
    const PltSolve solve;
    // Drawn 40 mm and 2 mm away from the origin: under the camera when the
    // tool stands at the origin.
    const QString stream = solve.serializePlain(solve.translatePaths(solve.parsePaths(pattern), -1600, -80));

    const Ready ready = readyLink(link, action);
    if (ready == Ready::Silent)
        return;
    if (ready == Ready::Failed) {
        m_host.showConnectError();
        return;
    }
    const Watch watch(*this, link);
    CutterLink &cutter = linkFor(link);
    const QString noMark = tr("%1: the mark was not found; check the pen drawing").arg(action);
    // Only a reply read now is a measurement; a failed read ends the run.
    const auto measure = [&cutter] {
        cutter.sendCmd(P::kMarkSearch);
        return markDeviation(cutter.readReply());
    };

    cutter.sendCmd(stream);
    if (cutter.waitFree() == WaitOutcome::Done) {
        cutter.sendCmd(P::penUpMove(0, 0));
        cutter.waitFree();
    }
    const std::optional<MarkDeviation> first = cutter.abandoned() ? std::nullopt : measure();
    if (!first) {
        if (!gaveUp(cutter, action))
            fail(noMark);
        return;
    }
    const double a = 40.0 - first->ey; // the image's second axis corrects the first number
    const double b = 2.0 - first->ex;
    cutter.sendCmd(P::calibrationResultCmd(a, b));
    cutter.readReply(); // not examined
    cutter.sendCmd(P::penUpMove(int(std::trunc(first->ey * kUnitsPerMm)),
                                int(std::trunc(first->ex * kUnitsPerMm))));
    const std::optional<MarkDeviation> second = cutter.waitFree() == WaitOutcome::Done ? measure() : std::nullopt;
    if (!second) { // the cutter keeps the first pass's offset
        if (!gaveUp(cutter, action))
            fail(tr("%1: the second reading failed, so the first one's offset %2, %3 mm is stored; check the pen "
                    "drawing and run it again")
                     .arg(action, QString::number(a, 'f', 1), QString::number(b, 'f', 1)));
        return;
    }
    cutter.sendCmd(P::calibrationResultCmd(a - second->ey, b - second->ex));
    cutter.readReply(); // not examined
    m_host.showCalibrationDone();
    m_host.showResult(tr("%1: camera offset stored as %2, %3 mm")
                          .arg(action, QString::number(a - second->ey, 'f', 1),
                               QString::number(b - second->ex, 'f', 1)),
                      false);
}

// --- Camera set-up ---

QString CutterJobs::cameraSetup(JobLink link, const QString &ssid, const QString &passphrase, int idleLimitMs)
{
    const QString action = tr("Camera set-up");
    const Ready ready = readyLink(link, action);
    if (ready != Ready::Yes) {
        if (ready == Ready::Failed && link == JobLink::Network)
            m_host.showConnectError();
        return QString();
    }
    QElapsedTimer clock;
    clock.start();
    const Watch watch(*this, link, [&clock, idleLimitMs] { return clock.hasExpired(idleLimitMs); });
    CutterLink &cutter = linkFor(link);
    const WaitOutcome idle = cutter.waitFree();
    if (idle != WaitOutcome::Done) {
        if (idle == WaitOutcome::NoCutter)
            fail(tr("%1: %2").arg(action, usbProblem()));
        else if (!m_cutterSilent) // answered, but busy all along
            fail(tr("%1: the cutter did not become idle within %2").arg(action, durationText(idleLimitMs)));
        else
            gaveUp(cutter, action);
        return QString();
    }
    cutter.sendCmd(P::cameraSetupCmd(ssid, passphrase));
    const QString reply = cutter.readReply(-1);
    if (!isValidIp(reply)) {
        if (!gaveUp(cutter, action))
            fail(tr("%1: the cutter gave no camera address").arg(action));
        return QString();
    }
    m_host.showResult(tr("%1: the camera is at %2").arg(action, reply), false);
    return reply;
}

// The link gave up on a silent cutter: says so. False when it did not.
bool CutterJobs::gaveUp(const CutterLink &link, const QString &action)
{
    if (!link.abandoned())
        return false;
    if (!m_failed)
        fail(tr("%1: the cutter did not answer").arg(action));
    return true;
}
