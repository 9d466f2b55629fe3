#pragma once
#include <QCoreApplication>

class CutterJobs;
class QAbstractButton;
class QComboBox;
class QLabel;
class QWidget;
class UsbOperate;

// The widgets the Start/Stop button locks and restores.
struct RunnerControls
{
    QAbstractButton *startBtn;
    QWidget *connectBtn;
    QComboBox *devType;
    QWidget *prevMode;
    QWidget *nextMode;
    QWidget *filePath;
    QWidget *setFilePath;
    QComboBox *device;
    QLabel *stateText;
};

// What the state line says when another program holds the USB cutter.
QString cutterInUseText();

// The Start/Stop button. The button carries the job state: "Start" enabled is
// idle, "Stop" is running, "Start" disabled is stop requested (the procedure
// still runs and looks at the button at its own check points).
class JobRunner
{
    Q_DECLARE_TR_FUNCTIONS(JobRunner)
public:
    JobRunner(const RunnerControls &controls, CutterJobs &jobs, UsbOperate &usb);

    // The button's click: starts the job of workIndex when the button reads
    // "Start", else requests the stop. A start returns when the job is over.
    void clicked(int workIndex);
    // The button reads "Stop".
    bool running() const;

private:
    void start(int workIndex);
    void requestStop();
    void lock();
    void unlock(const QString &state);

    RunnerControls m_ui;
    CutterJobs &m_jobs;
    UsbOperate &m_usb;
};
