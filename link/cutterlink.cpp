#include "cutterlink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtDebug>

CutterLink::Pump CutterLink::pumpUntil(const std::function<bool()> &done, int timeoutMs,
                                       bool silenceCounts, bool honourStop)
{
    QElapsedTimer clock; // monotonic
    clock.start();
    // The tick bounds each sleep so that a stop condition that changes without
    // an event of its own is still seen; the deadline timer ends the last sleep
    // on time.
    QTimer tick;
    tick.start(50);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    if (timeoutMs >= 0)
        deadline.start(timeoutMs);
    for (;;) {
        if (done())
            return Pump::Done;
        if (honourStop && stopRequested())
            return Pump::Stopped;
        if (timeoutMs >= 0 && clock.hasExpired(timeoutMs))
            return Pump::TimedOut;
        if (silenceCounts && !m_waiting && clock.hasExpired(kSilenceMs))
            setWaiting(true);
        // The deadline timer can fire a fraction of a millisecond before the
        // clock has expired; the rest is spun out instead of slept until the
        // next tick.
        const bool deadlinePassed = timeoutMs >= 0 && !deadline.isActive();
        QCoreApplication::processEvents(deadlinePassed ? QEventLoop::AllEvents : QEventLoop::WaitForMoreEvents);
    }
}

bool CutterLink::pollPause()
{
    return pumpUntil([] { return false; }, pollPauseMs, false) != Pump::Stopped;
}

void CutterLink::setWaiting(bool waiting)
{
    if (waiting == m_waiting && !waiting)
        return;
    m_waiting = waiting;
    if (m_waitingHook)
        m_waitingHook(waiting);
}

CutterLink::Exchange::Exchange(CutterLink &link) : m_link(link), m_refused(link.m_inExchange)
{
    if (m_refused) {
        qWarning() << "cutter link busy: a second exchange was refused";
        return;
    }
    m_link.m_inExchange = true;
    m_link.m_abandoned = false;
}

CutterLink::Exchange::~Exchange()
{
    if (!m_refused)
        m_link.m_inExchange = false;
}
