#pragma once
#include <functional>

class QSocketNotifier;
struct _XDisplay;

// Volume Up grabbed on the X server's root window through an X connection of
// our own, so the key reaches us whichever window has the focus. Does
// nothing unless the application runs on the xcb platform. Another client
// holding the grab (a desktop volume control) makes the grab fail; the key
// then works only through the window's own key events.
class X11KeyGrab
{
public:
    explicit X11KeyGrab(std::function<void()> onPress);
    ~X11KeyGrab();
    X11KeyGrab(const X11KeyGrab &) = delete;
    X11KeyGrab &operator=(const X11KeyGrab &) = delete;
    bool active() const { return m_notifier != nullptr; }

private:
    bool grab();
    void drain();
    void close();

    std::function<void()> m_onPress;
    _XDisplay *m_display = nullptr;
    unsigned int m_keycode = 0;
    QSocketNotifier *m_notifier = nullptr;
};
