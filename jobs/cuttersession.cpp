#include "cuttersession.h"

#include "cutterjobs.h"
#include "rj45socket.h"
#include "usboperate.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

#include <optional>

// Lives on the session's thread: the links, the procedures, and the window
// as the procedures see it (JobHost calls queued to the window's thread,
// questions waited for) and the session as they see it (JobControl).
class CutterSession::Worker : public JobHost, public JobControl
{
public:
    explicit Worker(CutterSession &session) : m_session(session), m_jobs(*this, *this, m_usb, m_net)
    {
        m_usb.setWakeup(&session.m_wakeup);
        m_net.setWakeup(&session.m_wakeup);
        QObject::connect(&m_usb, &UsbOperate::cutterInUse, &session, &CutterSession::cutterInUse);
    }

    void apply(const SessionOptions &options)
    {
        m_usb.pollPauseMs = m_net.pollPauseMs = options.pollPauseMs;
        m_net.setCutterPort(options.cutterPort);
        m_jobs.autoFeedPauses = options.autoFeedPauses;
        if (!options.calibrationPatternPath.isEmpty())
            m_jobs.calibrationPatternPath = options.calibrationPatternPath;
        m_jobs.setRunLogFolder(options.runLogFolder);
    }
    CutterJobs &jobs() { return m_jobs; }
    const UsbOperate &usb() const { return m_usb; }

    // JobHost: the window, reached on its own thread.
    JobSettings jobSettings() const override
    {
        return ask<JobSettings>([this] { return window().jobSettings(); }, false).value_or(JobSettings());
    }
    void showJobState(const QString &text) override { post([=](JobHost &w) { w.showJobState(text); }); }
    void showResult(const QString &text, bool failed) override
    {
        post([=](JobHost &w) { w.showResult(text, failed); });
    }
    void showConnectError() override { post([](JobHost &w) { w.showConnectError(); }); }
    void showOriginDone(bool back) override { post([=](JobHost &w) { w.showOriginDone(back); }); }
    void showCalibrationDone() override { post([](JobHost &w) { w.showCalibrationDone(); }); }
    void setSheetsLeft(int count) override { post([=](JobHost &w) { w.setSheetsLeft(count); }); }
    void showJobPaths(const PlotPathList &paths) override { post([=](JobHost &w) { w.showJobPaths(paths); }); }
    bool confirmCalibration() override
    {
        return ask<bool>([this] { return window().confirmCalibration(); }, true).value_or(false);
    }
    bool askForMedia() override
    {
        return ask<bool>([this] { return window().askForMedia(); }, true).value_or(false);
    }

    // JobControl
    bool running() const override { return !m_session.m_stop.load() && !m_session.m_wakeup.cancelled(); }
    bool waitForTrigger() override
    {
        if (!running()) // a stopped job does not wait
            return false;
        m_session.m_triggered = false;
        m_session.m_armed = true;
        emit m_session.triggerArmed(true);
        while (!m_session.m_triggered.load() && running())
            m_session.m_wakeup.wait(-1, 0, -1);
        m_session.m_armed = false;
        emit m_session.triggerArmed(false);
        return m_session.m_triggered.exchange(false);
    }

private:
    JobHost &window() const { return m_session.m_window; }

    // Runs on the window's thread, after what was queued before; dropped if
    // the session is gone by then.
    void post(std::function<void(JobHost &)> call) const
    {
        JobHost *w = &m_session.m_window;
        QMetaObject::invokeMethod(&m_session, [w, call = std::move(call)] { call(*w); }, Qt::QueuedConnection);
    }

    // Asks on the window's thread and waits for the answer; none when the
    // session closes meanwhile, or (stopEnds) when Stop is pressed.
    template<class T>
    std::optional<T> ask(std::function<T()> question, bool stopEnds) const
    {
        struct Answer
        {
            QMutex mutex;
            std::optional<T> value;
        };
        const auto answer = std::make_shared<Answer>();
        Wakeup *wakeup = &m_session.m_wakeup;
        QMetaObject::invokeMethod(
            &m_session,
            [answer, wakeup, question = std::move(question)] {
                T value = question();
                QMutexLocker lock(&answer->mutex);
                answer->value = std::move(value);
                wakeup->wake();
            },
            Qt::QueuedConnection);
        for (;;) {
            {
                QMutexLocker lock(&answer->mutex);
                if (answer->value)
                    return answer->value;
            }
            if (wakeup->cancelled() || (stopEnds && m_session.m_stop.load()))
                return std::nullopt;
            wakeup->wait(-1, 0, -1);
        }
    }

    CutterSession &m_session;
    UsbOperate m_usb;
    RJ45Socket m_net;
    CutterJobs m_jobs;
};

CutterSession::CutterSession(JobHost &window, QObject *parent) : QObject(parent), m_window(window)
{
    qRegisterMetaType<CutterSession::Action>();
    options.runLogFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    m_thread.setObjectName(QStringLiteral("cutter session"));
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    // The links are made on the thread that uses them.
    QMetaObject::invokeMethod(m_context, [this] { m_worker = std::make_unique<Worker>(*this); },
                              Qt::BlockingQueuedConnection);
}

CutterSession::~CutterSession()
{
    m_wakeup.cancel(); // what runs ends at once; the worker goes after it
    QMetaObject::invokeMethod(m_context, [this] { m_worker.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

bool CutterSession::dispatch(Action action, std::function<void(Worker &)> work)
{
    if (busy() || m_wakeup.cancelled())
        return false;
    m_current = action;
    m_stop = false;
    m_triggered = false;
    QMetaObject::invokeMethod(
        m_context,
        [this, action, options = options, work = std::move(work)] {
            m_worker->apply(options);
            work(*m_worker);
            QMetaObject::invokeMethod(
                this,
                [this, action] {
                    m_current = Action::None;
                    emit finished(action);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

bool CutterSession::startJob(const WorkMode &mode, JobLink link)
{
    return dispatch(Action::Job, [&mode, link](Worker &w) { w.jobs().run(mode, link); });
}

bool CutterSession::setOrigin(JobLink link)
{
    return dispatch(Action::SetOrigin, [this, link](Worker &w) {
        if (const std::optional<QPoint> at = w.jobs().setOrigin(link))
            emit originStored(*at);
    });
}

bool CutterSession::backOrigin(JobLink link, QPoint origin)
{
    return dispatch(Action::BackOrigin, [link, origin](Worker &w) { w.jobs().backOrigin(link, origin.x(), origin.y()); });
}

bool CutterSession::autoAdjust(JobLink link)
{
    return dispatch(Action::AutoAdjust, [link](Worker &w) { w.jobs().autoAdjust(link); });
}

bool CutterSession::cameraSetup(JobLink link, const QString &ssid, const QString &passphrase)
{
    const int idleMs = options.cameraSetupIdleMs;
    return dispatch(Action::CameraSetup, [this, link, ssid, passphrase, idleMs](Worker &w) {
        const QString address = w.jobs().cameraSetup(link, ssid, passphrase, idleMs);
        if (!address.isEmpty())
            emit cameraFound(address);
    });
}

void CutterSession::requestStop()
{
    m_stop = true;
    m_wakeup.wake();
}

void CutterSession::trigger()
{
    if (!m_armed.load())
        return;
    m_triggered = true;
    m_wakeup.wake();
}

QStringList CutterSession::usbDevices() const
{
    return m_worker->usb().listDevices();
}
