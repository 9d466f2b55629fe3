#include "x11grab.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>

namespace {
bool grabFailed = false;

int recordError(Display *, XErrorEvent *)
{
    grabFailed = true;
    return 0;
}
} // namespace

X11KeyGrab::X11KeyGrab(std::function<void()> onPress) : m_onPress(std::move(onPress))
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return;
    m_keycode = XKeysymToKeycode(m_display, XF86XK_AudioRaiseVolume);
    if (m_keycode == 0 || !grab()) {
        close();
        return;
    }
    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [this] { drain(); });
    drain(); // events already read into Xlib's queue raise no notification
}

X11KeyGrab::~X11KeyGrab()
{
    delete m_notifier;
    if (m_notifier || m_display) {
        if (m_display && m_keycode)
            XUngrabKey(m_display, int(m_keycode), AnyModifier, DefaultRootWindow(m_display));
    }
    close();
}

bool X11KeyGrab::grab()
{
    grabFailed = false;
    XSync(m_display, False);
    // A grab held by another client is reported as an error; Xlib's default
    // handler would end the program.
    const auto previous = XSetErrorHandler(&recordError);
    XGrabKey(m_display, int(m_keycode), AnyModifier, DefaultRootWindow(m_display), False, GrabModeAsync,
             GrabModeAsync);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    if (grabFailed)
        qWarning() << "Volume Up is grabbed by another program; the trigger works only in this window";
    return !grabFailed;
}

void X11KeyGrab::drain()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == KeyPress && event.xkey.keycode == m_keycode)
            m_onPress();
    }
}

void X11KeyGrab::close()
{
    if (m_display)
        XCloseDisplay(m_display);
    m_display = nullptr;
}
