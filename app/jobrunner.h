#pragma once
#include <QCoreApplication>

#include <memory>

class CutterSession;
class QAbstractButton;
class QComboBox;
class QLabel;
class QWidget;
class TriggerListener;

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
// What the state line says when an action is refused because the cutter is busy with another.
QString cutterBusyText();

// The Start/Stop button and the job state it shows: "Start" enabled while
// idle, "Stop" while a job runs, "Start" disabled once a stop was requested
// (the job runs on in the cutter session and looks at the stop at its own
// check points). The job's end brings the button and the controls back.
class JobRunner
{
    Q_DECLARE_TR_FUNCTIONS(JobRunner)
public:
    enum class State { Idle, Running, StopRequested };

    JobRunner(const RunnerControls &controls, CutterSession &session);
    ~JobRunner();

    // The button's click: starts the job of workIndex when idle, else
    // requests the stop. Returns at once.
    void clicked(int workIndex);
    // A job runs and no stop was requested.
    bool running() const { return m_state == State::Running; }
    State state() const { return m_state; }

private:
    void start(int workIndex);
    void requestStop();
    void finish();
    void lock();
    void unlock(const QString &state);

    RunnerControls m_ui;
    CutterSession &m_session;
    State m_state = State::Idle;
    bool m_inUse = false; // the job found the cutter held by another program
    std::unique_ptr<TriggerListener> m_trigger;
};
