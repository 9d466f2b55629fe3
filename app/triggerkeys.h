#pragma once
#include <QObject>

#include <functional>
#include <memory>

class X11KeyGrab;

// The operator's trigger of the matrix jobs: Space or Volume Up between two
// sheets. windowActive follows the main window's activation (process-wide:
// the listener needs it without a window at hand).
//
// A TriggerListener exists only while a matrix job runs. It filters the key
// presses of the whole application: Volume Up is consumed whenever it is
// installed; Space only while the main window is active (and then no longer
// reaches the window's widgets). Each such press calls onTrigger (the job
// counts it only while it waits for the trigger). On X11 it also grabs
// Volume Up on the root window, so the key works while another program has
// the focus.
namespace TriggerKeys {
void setWindowActive(bool active);
bool windowActive();
} // namespace TriggerKeys

class TriggerListener : public QObject
{
    Q_OBJECT
public:
    explicit TriggerListener(std::function<void()> onTrigger);
    ~TriggerListener() override;
    // The X11 grab of Volume Up is held (only under the xcb platform).
    bool grabsGlobally() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_onTrigger;
    std::unique_ptr<X11KeyGrab> m_grab;
};
