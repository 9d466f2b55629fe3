#pragma once
#include "pltsolve.h"

#include <QString>

// What the cutter procedures read from the window and show in it. The main
// window implements it over its widgets; tests implement it with plain
// values. Every value is read at the moment a step needs it, so a setting
// changed during a job takes effect from its next use.

enum class MatrixLayout { None, One, Two, Four };

// The auto-feed modes' values: the spin boxes and the check box beside them,
// and the window's feeder constants.
struct FeedSettings
{
    int sheetsLeft = 0;        // count: sheets still to cut
    int feedDistMm = 0;        // feedDist: the feed move, whole mm
    int ejectDistMm = 0;       // ejectDist: the eject move of modes 6 and 8, whole mm
    int offsetArgMm = 0;       // offsetArg: shift of the start position along the second axis, mm
    bool smartScan = false;    // search the QR code and the mark at up to four positions
    int feedStartX = 120;      // start position, first coordinate, plotter units
    int feedCenterY = 9300;    // centre of the start position's second coordinate, plotter units
    int scanStepX = 400;       // steps between the search positions, plotter units
    int scanStepY = 600;
    int feedIntervalSecs = 18; // least time between two feeds, seconds
};

struct JobSettings
{
    QString plotFile;            // filePath
    bool rotate = false;         // quarter turn of the design
    int creasePasses = 1;        // creaseCnt when repeatCrease is on, else 1
    int cutPasses = 1;           // cutCnt when repeatCut is on, else 1
    double knifeOffsetMm = 0;    // knifeOffset when knifeOffsetChx is on, else 0
    double closeOffsetMm = 0;    // closeOffset when closeOffsetChx is on, else 0
    MatrixLayout matrix = MatrixLayout::One; // matOne / matTwo / matFour
    double gapFirstMm = 0;       // matSpH: gap between places along the first axis
    double gapSecondMm = 0;      // matSpV: gap along the second axis
    QString usbDevice;           // the cutter shown in `device`
    QString cutterAddress;       // deviceIP, for the network link
    FeedSettings feed;           // auto-feed modes
};

// The window's side. The cutter session calls it on the window's thread:
// reports are queued there, questions wait for the answer.
class JobHost
{
public:
    virtual ~JobHost() = default;

    virtual JobSettings jobSettings() const = 0;
    // Shows what the job is doing (the state label).
    virtual void showJobState(const QString &text) = 0;
    // The outcome of the action (the result line, and the log): how a job
    // ended, or why an action did not do what the operator asked (failed).
    virtual void showResult(const QString &text, bool failed) = 0;

    // Message boxes. The two self-closing ones close after a second.
    virtual void showConnectError() = 0;            // "Warning" / "Connect Error!"
    virtual void showOriginDone(bool back) = 0;     // "Set" or "Back" / "OK!"
    virtual bool confirmCalibration() = 0;          // "Start Auto-Adjust", true on OK
    virtual void showCalibrationDone() = 0;         // "Auto-Offset" / "Auto-Adjust Completed!"

    // Auto-feed modes. The defaults suit a host without a sheet feeder (its
    // count stays 0, so those modes send nothing).
    virtual void setSheetsLeft(int count) { (void)count; }   // the `count` spin box
    virtual bool askForMedia() { return false; }             // "No Paper..." box, true on OK
    virtual void showJobPaths(const PlotPathList &paths) { (void)paths; } // lines preview, repainted
};

// What a procedure asks of the session it runs in (on the session's thread).
class JobControl
{
public:
    virtual ~JobControl() = default;
    // A job runs and no stop was requested.
    virtual bool running() const = 0;
    // Matrix modes: waits for the operator's trigger between two sheets;
    // false when the job was stopped meanwhile.
    virtual bool waitForTrigger() = 0;
};
