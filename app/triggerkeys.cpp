#include "triggerkeys.h"

#include "x11grab.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {
bool windowActiveFlag = false;
} // namespace

namespace TriggerKeys {
void setWindowActive(bool active) { windowActiveFlag = active; }
bool windowActive() { return windowActiveFlag; }
} // namespace TriggerKeys

TriggerListener::TriggerListener(std::function<void()> onTrigger)
    : m_onTrigger(std::move(onTrigger)), m_grab(std::make_unique<X11KeyGrab>(m_onTrigger))
{
    QCoreApplication::instance()->installEventFilter(this);
}

TriggerListener::~TriggerListener()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool TriggerListener::grabsGlobally() const
{
    return m_grab->active();
}

bool TriggerListener::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_VolumeUp || (key == Qt::Key_Space && windowActiveFlag)) {
        m_onTrigger();
        return true; // swallowed, waited for or not
    }
    return false;
}
