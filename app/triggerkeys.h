#pragma once
#include <QObject>

#include <functional>
#include <memory>

class X11KeyGrab;

// The operator's trigger of the matrix jobs: Space or Volume Up between two
// sheets. Process-wide state, as the key listener reaches it without a job:
// windowActive follows the main window's activation; triggerArmed is set while
// a matrix job waits; triggerPressed is set by the listener while armed.
//
// A TriggerListener exists only while a matrix job runs. It filters the key
// presses of the whole application: Volume Up is consumed whenever it is
// installed; Space only while the main window is active (and then no longer
// reaches the window's widgets). On X11 it also grabs Volume Up on the root
// window, so the key works while another program has the focus.
namespace TriggerKeys {
void setWindowActive(bool active);
bool windowActive();
bool armed();
bool pressed();
// A trigger key went down: counts while armed.
void keyDown();
// Arms, handles events until a trigger key is pressed or running() turns
// false, then disarms. True when the trigger was pressed.
bool waitForTrigger(const std::function<bool()> &running);
} // namespace TriggerKeys

class TriggerListener : public QObject
{
    Q_OBJECT
public:
    TriggerListener();
    ~TriggerListener() override;
    // The X11 grab of Volume Up is held (only under the xcb platform).
    bool grabsGlobally() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<X11KeyGrab> m_grab;
};
