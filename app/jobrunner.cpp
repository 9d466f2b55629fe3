#include "jobrunner.h"

#include "cuttersession.h"
#include "devicelist.h"
#include "triggerkeys.h"
#include "workmodes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QtDebug>

namespace {
// The button's words are the window's texts.
QString startText() { return QCoreApplication::translate("MainWidget", "Start"); }
QString stopText() { return QCoreApplication::translate("MainWidget", "Stop"); }
} // namespace

JobRunner::JobRunner(const RunnerControls &controls, CutterSession &session) : m_ui(controls), m_session(session)
{
    QObject::connect(&session, &CutterSession::finished, m_ui.startBtn, [this](CutterSession::Action action) {
        if (action == CutterSession::Action::Job)
            finish();
    });
    // Another program holding the cutter ends the job at its first use of
    // the link; the state line then says so instead of "Idle...".
    QObject::connect(&session, &CutterSession::cutterInUse, m_ui.startBtn, [this] {
        if (m_state != State::Idle)
            m_inUse = true;
    });
}

JobRunner::~JobRunner() = default;

void JobRunner::clicked(int workIndex)
{
    if (m_state == State::Idle)
        start(workIndex);
    else if (m_state == State::Running)
        requestStop();
}

void JobRunner::start(int workIndex)
{
    const WorkMode *mode = workMode(workIndex);
    const std::optional<JobLink> link = mode ? jobLinkFor(*mode, m_ui.devType->currentText()) : std::nullopt;
    if (!link)
        return;
    if (!m_session.startJob(*mode, *link)) {
        m_ui.stateText->setText(cutterBusyText());
        qWarning().noquote() << "Start refused: another action is using the cutter";
        return;
    }
    m_state = State::Running;
    m_inUse = false;
    lock();
    m_ui.startBtn->setIcon(QIcon(QStringLiteral(":/png/stop.png")));
    m_ui.startBtn->setText(stopText());
    if (mode->trigger())
        m_trigger = std::make_unique<TriggerListener>([this] { m_session.trigger(); });
}

void JobRunner::finish()
{
    m_trigger.reset();
    m_state = State::Idle;
    unlock(m_inUse ? cutterInUseText() : QCoreApplication::translate("MainWidget", "Idle..."));
}

void JobRunner::requestStop()
{
    // The job looks at the stop at its own check points; a wait on a silent
    // cutter ends at once.
    m_state = State::StopRequested;
    m_session.requestStop();
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
    enableConnect(m_ui.connectBtn, m_ui.devType->currentText(), m_ui.device);
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

QString cutterBusyText()
{
    return QCoreApplication::translate("MainWidget", "The cutter is busy; try again when it has finished");
}
