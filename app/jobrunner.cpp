#include "jobrunner.h"

#include "cutterjobs.h"
#include "jobtable.h"
#include "triggerkeys.h"
#include "usboperate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QIcon>
#include <QLabel>

#include <memory>

namespace {
// The button's words are looked up as the window's texts; neither has a
// translation, so both sides compare the plain words.
QString startText() { return QCoreApplication::translate("MainWidget", "Start"); }
QString stopText() { return QCoreApplication::translate("MainWidget", "Stop"); }
} // namespace

JobRunner::JobRunner(const RunnerControls &controls, CutterJobs &jobs, UsbOperate &usb)
    : m_ui(controls), m_jobs(jobs), m_usb(usb)
{
}

bool JobRunner::running() const
{
    return m_ui.startBtn->text() == stopText();
}

void JobRunner::clicked(int workIndex)
{
    if (m_ui.startBtn->text() == startText())
        start(workIndex);
    else
        requestStop();
}

void JobRunner::start(int workIndex)
{
    lock();
    m_ui.startBtn->setIcon(QIcon(QStringLiteral(":/png/stop.png")));
    m_ui.startBtn->setText(stopText());
    m_usb.setDevice(m_ui.device->currentText());

    // Another program holding the cutter ends the job at its first use of
    // the link; the state line then says so instead of "Idle...".
    bool inUse = false;
    const QMetaObject::Connection watch =
        QObject::connect(&m_usb, &UsbOperate::cutterInUse, [&inUse] { inUse = true; });
    const DispatchEntry *entry = dispatchEntry(workIndex);
    const JobProcedure procedure = procedureFor(workIndex, m_ui.devType->currentText());
    if (procedure) {
        std::unique_ptr<TriggerListener> trigger;
        if (entry->trigger)
            trigger = std::make_unique<TriggerListener>();
        (m_jobs.*procedure)();
    }
    QObject::disconnect(watch);
    unlock(inUse ? cutterInUseText() : QCoreApplication::translate("MainWidget", "Idle..."));
}

void JobRunner::requestStop()
{
    // Only the button changes: the click arrives inside the running job's
    // wait, and the job looks at the button at its own check points.
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
