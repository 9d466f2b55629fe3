#include "triggerkeys.h"

#include "x11grab.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QtDebug>


namespace {
bool windowActiveFlag = false;
bool triggerArmed = false;
bool triggerPressed = false;

} // namespace

namespace TriggerKeys {

void keyDown()
{
    if (triggerArmed)
        triggerPressed = true;
}

void setWindowActive(bool active) { windowActiveFlag = active; }
bool windowActive() { return windowActiveFlag; }
bool armed() { return triggerArmed; }
bool pressed() { return triggerPressed; }

bool waitForTrigger(const std::function<bool()> &running)
{
    triggerArmed = true;
    // The tick makes sure a change of running() without an event of its own is seen.
    QTimer tick;
    tick.start(50);
    while (!triggerPressed && running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const bool pressed = triggerPressed;
    triggerArmed = false;
    triggerPressed = false;
    return pressed;
}

} // namespace TriggerKeys


TriggerListener::TriggerListener() : m_grab(std::make_unique<X11KeyGrab>(&TriggerKeys::keyDown))
{
    QCoreApplication::instance()->installEventFilter(this);
}

TriggerListener::~TriggerListener()
{
    QCoreApplication::instance()->removeEventFilter(this);
    triggerArmed = false;
    triggerPressed = false;
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
        TriggerKeys::keyDown();
        return true; // swallowed, armed or not
    }
    return false;
}
