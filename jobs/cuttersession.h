#pragma once
#include "autofeed.h"
#include "cutterlink.h"
#include "jobhost.h"
#include "wakeup.h"
#include "workmodes.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// How the session's links and procedures are tuned. The program keeps the
// defaults; tests shorten the pauses and name their simulator's port.
struct SessionOptions
{
    int pollPauseMs = CutterLink::kPollPauseMs;
    AutoFeedPauses autoFeedPauses;
    quint16 cutterPort = 9100;
    QString calibrationPatternPath; // "": the one beside the program (calibrationPatternIn)
    int cameraSetupIdleMs = 60000;  // how long the camera set-up waits for the cutter to be idle
    QString runLogFolder;           // runs.csv goes here; the session starts with the user's data folder
};

// The cutter's own thread. It owns both links and runs every action that
// talks to the cutter (a job, the origin commands, the calibration, the
// camera set-up) as plain blocking code, one action at a time. The window
// starts an action and goes on; the action's reports reach the window as
// JobHost calls queued to the window's thread, its questions (the settings,
// the boxes that ask) wait for the window's answer, and `finished` says when
// it is over.
//
// Everything here is called on the window's thread, except usbDevices().
class CutterSession : public QObject
{
    Q_OBJECT
public:
    enum class Action { None, Job, SetOrigin, BackOrigin, AutoAdjust, CameraSetup };
    Q_ENUM(Action)

    explicit CutterSession(JobHost &window, QObject *parent = nullptr);
    // Cancels what runs (nothing more is sent) and ends the thread.
    ~CutterSession() override;

    // Copied when an action starts.
    SessionOptions options;

    // Each starts its action and returns at once; false (nothing started)
    // while another action runs.
    bool startJob(const WorkMode &mode, JobLink link);
    bool setOrigin(JobLink link);
    bool backOrigin(JobLink link, QPoint origin);
    bool autoAdjust(JobLink link);
    bool cameraSetup(JobLink link, const QString &ssid, const QString &passphrase);

    Action current() const { return m_current; }
    bool busy() const { return m_current != Action::None; }
    // The running job ends at its own checks; a silent cutter is let go at once.
    void requestStop();
    // The operator's trigger; counts only while a matrix job waits for it.
    void trigger();
    // USB cutters that can be used now (any thread): the held one, and those
    // that open or are held by another program.
    QStringList usbDevices() const;

signals:
    void finished(CutterSession::Action action);
    // A matrix job waits for the trigger (true) or no longer (false).
    void triggerArmed(bool armed);
    void originStored(QPoint at);
    void cameraFound(const QString &address);
    // An open found the USB cutter held by another program.
    void cutterInUse();

private:
    class Worker;
    bool dispatch(Action action, std::function<void(Worker &)> work);

    JobHost &m_window;
    Wakeup m_wakeup; // shared by both links and the session's own waits
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_triggered{false};
    Action m_current = Action::None;
    QThread m_thread;
    QObject *m_context = nullptr; // lives on m_thread: queued work runs there
    std::unique_ptr<Worker> m_worker;
};
