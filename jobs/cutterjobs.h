#pragma once
#include "autofeed.h"
#include "cutterlink.h"
#include "jobhost.h"
#include "runlog.h"
#include "workmodes.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class RJ45Socket;
class UsbOperate;
struct PreparedSheet;
struct SheetOptions;

// CIR.plt beside the program (the build tree) or in the data folder of an
// installed program (../share/cutterdesk); the one beside it when neither
// exists, so that the failure names where the pattern was looked for.
QString calibrationPatternIn(const QString &programDir);

// Everything the main window does with the cutter: the procedures of the
// twelve work modes (written once each kind, driven by the WorkMode row), the
// origin commands, the automatic calibration and the camera set-up. Plain
// blocking code on the cutter session's thread (CutterSession), which owns
// the links; `host` reaches the window, `control` the session.
//
// While a procedure runs, the link's stop condition is "Stop was pressed and
// the cutter is not answering": a cutter that answers finishes its sheet as
// the one-sheet and matrix procedures promise, one that is silent or gone is
// abandoned at once, so Stop always brings the window back to idle. The other
// actions give up on a cutter that stays silent for CutterLink::kSilenceMs.
class CutterJobs
{
    Q_DECLARE_TR_FUNCTIONS(CutterJobs)
public:
    CutterJobs(JobHost &host, JobControl &control, UsbOperate &usb, RJ45Socket &net);

    // Runs the job of a work mode over the link (the runner has selected the
    // USB device already): one sheet or a matrix (modes 0..5), or sheets from
    // the cutter's feeder until `count` is used up (modes 6..11, always over
    // the USB link, autofeed.cpp).
    void run(const WorkMode &mode, JobLink link);
    AutoFeedPauses autoFeedPauses;

    // "Set Origin": the carriage position to store. "Back
    // Origin": moves the carriage back there. Both show their box, or the
    // "Connect Error!" box when the cutter cannot be reached or does not
    // answer (then nothing is stored or moved).
    std::optional<QPoint> setOrigin(JobLink link);
    void backOrigin(JobLink link, int originX, int originY);

    // Automatic calibration with a pen (confirmation box first).
    void autoAdjust(JobLink link);

    // Camera set-up: once the cutter is idle (waited for at most idleLimitMs),
    // it passes the Wi-Fi name and pass phrase on to the camera and answers
    // with the camera's address. The address, or "" (the reason said).
    QString cameraSetup(JobLink link, const QString &ssid, const QString &passphrase, int idleLimitMs);

    // The calibration pattern; the program uses calibrationPatternIn() of its own folder.
    QString calibrationPatternPath;

    // Where the jobs' sheets are logged (runs.csv); none is kept until this is set.
    void setRunLogFolder(const QString &folder);

private:
    class Session;
    class AutoFeed; // one run of an auto-feed procedure
    struct MatrixRun;
    enum class Ready { Yes, Silent, Failed };

    CutterLink &linkFor(JobLink link);
    // USB: the device shown in `device` exists; network: a valid address
    // (else Silent) that connects (else Failed).
    Ready readyLink(JobLink link, const QString &action);
    std::optional<QPoint> originPosition(JobLink link, const QString &action);
    QString usbProblem() const;
    bool connectNetwork(const Session &s);

    // While watched, the link gives up a wait when `giveUp` holds (the
    // cutter silent: m_cutterSilent), and the state label says when the
    // action waits for the cutter.
    void watchLink(CutterLink &link, CutterLink::StopCondition giveUp, bool showWaiting = true);
    void unwatchLink(CutterLink &link);
    // A job's: Stop was pressed and the cutter is silent.
    CutterLink::StopCondition jobStop();
    class Watch;

    void runJob(const WorkMode &mode, JobLink link);
    void runSingleSheet(const WorkMode &mode, JobLink link);
    void runAutoFeed(const WorkMode &mode);
    SheetOptions sheetOptions(const WorkMode &mode, JobLink link, const JobSettings &settings) const;
    PreparedSheet prepare(const Session &s, const QString &path) const;
    void runOneSheet(Session &s);
    void runMatrix(Session &s);
    bool sendSheet(Session &s, const QString &jobText);
    // Asks for the QR code; false when the job must end (stopped, or "NOQR;"
    // in a one-sheet job). qrFile becomes the selected file ("" for none).
    bool selectQrFile(Session &s, const QString &folder, QString &qrFile);
    std::optional<QPoint> queryPosition(CutterLink &link);
    bool moveToNextPlace(Session &s, MatrixRun &run);

    void show(const QString &state);
    // Says why the action did not do what was asked; the job's end says nothing more.
    void fail(const QString &why);
    void say(const QString &text, bool failed);

    // The run log's line of the sheet being handled, kept from its start to its end.
    void openSheet(const WorkMode &mode, JobLink link, const QString &plotFile);
    void openSheet(const Session &s, const QString &plotFile);
    void closeSheet(RunRecord::Outcome outcome);
    RunRecord::Outcome brokenOff(JobLink link);
    // Why the plot file cannot be cut ("" when it begins with an MD instruction).
    QString plotFileProblem(const QString &path) const;
    bool checkSheet(const PreparedSheet &sheet, const QString &path);
    bool usbReady();
    // usb: the job's link; a node let go during the job means the cutter vanished.
    void reportEnd(const QString &done, qint64 ms, bool usb);
    QString connectErrorText(const QString &address) const;
    bool gaveUp(const CutterLink &link, const QString &action);

    JobHost &m_host;
    JobControl &m_control;
    UsbOperate &m_usb;
    RJ45Socket &m_net;
    QString m_state;        // what the label shows while the cutter answers
    bool m_cutterSilent = false;
    bool m_failed = false;  // the action's failure was said
    bool m_endedSilent = false; // the cutter was silent when the job let go of the link
    bool m_connectionLost = false; // the job's link went down while a reply was due
    QString m_oddReply;            // the last position query's answer, when it was not a position
    std::unique_ptr<RunLog> m_runLog;
    QString m_runLogFolder;
    RunRecord m_sheet;        // the sheet being handled
    bool m_sheetOpen = false;
    QString m_logError;       // why a line of this run could not be written
};

// Calibration arithmetic, exposed for tests. The deviation of a mark reply
// from the image centre (320, 240) in millimetres, scale (5 / D) x 0.5 mm per
// image unit. nullopt when the reply is no measurement ("NOMARK;", empty, not
// three numbers, D not positive) or either deviation lies outside -5..5 mm.
struct MarkDeviation
{
    double ex; // along the image's first axis, mm
    double ey;
};
std::optional<MarkDeviation> markDeviation(const QString &reply);

// The plot file named by a QR text, in folder (ending in "/"): folder + text
// + ".plt". Empty when the text could leave the folder or is no file name
// (empty, "/", "\\", "..", NUL or other control characters).
QString qrPlotFile(const QString &folder, const QString &qrText);
// The folder of the plot file, with a trailing "/".
QString plotFolder(const QString &plotFile);
// The result line's text for a cutter address that did not connect.
QString connectErrorText(const QString &address, quint16 port, const QString &cause);
// A duration for the operator: "45 s", "2 min 10 s", "1 h 5 min".
QString durationText(qint64 ms);
