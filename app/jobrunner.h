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

// The Start/Stop button and the job state it shows: "Start" enabled while
// idle, "Stop" while a job runs, "Start" disabled once a stop was requested
// (the procedure still runs and looks at running() at its own check points).
class JobRunner
{
    Q_DECLARE_TR_FUNCTIONS(JobRunner)
public:
    enum class State { Idle, Running, StopRequested };

    JobRunner(const RunnerControls &controls, CutterJobs &jobs, UsbOperate &usb);

    // The button's click: starts the job of workIndex when idle, else
    // requests the stop. A start returns when the job is over.
    void clicked(int workIndex);
    // A job runs and no stop was requested.
    bool running() const { return m_state == State::Running; }
    State state() const { return m_state; }

private:
    void start(int workIndex);
    void requestStop();
    void lock();
    void unlock(const QString &state);

    RunnerControls m_ui;
    CutterJobs &m_jobs;
    UsbOperate &m_usb;
    State m_state = State::Idle;
};
