#pragma once
#include <QString>

// What the cutter procedures read from the window and show in it. The main
// window implements it over its widgets; tests implement it with plain
// values. Every value is read at the moment a step needs it, so a setting
// changed during a job takes effect from its next use.

enum class MatrixLayout { None, One, Two, Four };

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
};

class JobHost
{
public:
    virtual ~JobHost() = default;

    virtual JobSettings jobSettings() const = 0;
    // The start button reads "Stop": a job runs and no stop was requested.
    virtual bool jobRunning() const = 0;
    // Shows what the job is doing (the state label).
    virtual void showJobState(const QString &text) = 0;

    // Message boxes. The two self-closing ones close after a second.
    virtual void showConnectError() = 0;            // "Warning" / "Connect Error!"
    virtual void showOriginDone(bool back) = 0;     // "Set" or "Back" / "OK!"
    virtual bool confirmCalibration() = 0;          // "Start Auto-Adjust", true on OK
    virtual void showCalibrationDone() = 0;         // "Auto-Offset" / "Auto-Adjust Completed!"
};
