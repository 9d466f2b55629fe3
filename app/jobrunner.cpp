#include "jobrunner.h"

#include "cutterjobs.h"
#include "workmodes.h"
#include "triggerkeys.h"
#include "usboperate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QIcon>
#include <QLabel>

#include <memory>

namespace {
// The button's words are the window's texts.
QString startText() { return QCoreApplication::translate("MainWidget", "Start"); }
QString stopText() { return QCoreApplication::translate("MainWidget", "Stop"); }
} // namespace

JobRunner::JobRunner(const RunnerControls &controls, CutterJobs &jobs, UsbOperate &usb)
    : m_ui(controls), m_jobs(jobs), m_usb(usb)
{
}

void JobRunner::clicked(int workIndex)
{
    if (m_state == State::Idle)
        start(workIndex);
    else if (m_state == State::Running)
        requestStop();
}

void JobRunner::start(int workIndex)
{
    m_state = State::Running;
    lock();
    m_ui.startBtn->setIcon(QIcon(QStringLiteral(":/png/stop.png")));
    m_ui.startBtn->setText(stopText());
    m_usb.setDevice(m_ui.device->currentText());

    // Another program holding the cutter ends the job at its first use of
    // the link; the state line then says so instead of "Idle...".
    bool inUse = false;
    const QMetaObject::Connection watch =
        QObject::connect(&m_usb, &UsbOperate::cutterInUse, [&inUse] { inUse = true; });
    const WorkMode *mode = workMode(workIndex);
    const std::optional<JobLink> link = mode ? jobLinkFor(*mode, m_ui.devType->currentText()) : std::nullopt;
    if (link) {
        std::unique_ptr<TriggerListener> trigger;
        if (mode->trigger())
            trigger = std::make_unique<TriggerListener>();
        m_jobs.run(*mode, *link);
    }
    QObject::disconnect(watch);
    m_state = State::Idle;
    unlock(inUse ? cutterInUseText() : QCoreApplication::translate("MainWidget", "Idle..."));
}

void JobRunner::requestStop()
{
    // The click arrives inside the running job's wait; the job looks at
    // running() at its own check points.
    m_state = State::StopRequested;
    m_ui.startBtn->setEnabled(false);
    m_ui.startBtn->setIcon(QIcon(QStringLiteral(":/png/start.png")));
    m_ui.startBtn->setText(startText());
}

void JobRunner::lock()
{
    m_ui.connectBtn->setEnabled(false);
    m_ui.devType->setEnabled(false);
    m_ui.prevMode->setEnabled(false);
    m_ui.nextMode->setEnabled(false);
    m_ui.filePath->setEnabled(false);
    m_ui.setFilePath->setEnabled(false);
}

void JobRunner::unlock(const QString &state)
{
    const QString type = m_ui.devType->currentText();
    if (type == QLatin1String("USB"))
        m_ui.connectBtn->setEnabled(m_ui.device->count() > 0);
    else if (type == QLatin1String("RJ45"))
        m_ui.connectBtn->setEnabled(true);
    m_ui.devType->setEnabled(true);
    m_ui.prevMode->setEnabled(true);
    m_ui.nextMode->setEnabled(true);
    m_ui.filePath->setEnabled(true);
    m_ui.setFilePath->setEnabled(true);
    m_ui.startBtn->setEnabled(true);
    m_ui.startBtn->setIcon(QIcon(QStringLiteral(":/png/start.png")));
    m_ui.startBtn->setText(startText());
    m_ui.stateText->setText(state);
}

QString cutterInUseText()
{
    return QCoreApplication::translate("MainWidget", "The cutter is in use by another program");
}
