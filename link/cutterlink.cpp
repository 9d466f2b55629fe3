#include "cutterlink.h"

#include <algorithm>

namespace {
// The longest sleep between two looks at the stop condition: it may change
// without a wake (a condition that reads a clock, or a flag set elsewhere).
constexpr int kStopCheckMs = 50;
} // namespace

CutterLink::Pump CutterLink::waitFor(int fd, short events, int timeoutMs, bool silenceCounts)
{
    QElapsedTimer clock; // monotonic
    clock.start();
    for (;;) {
        if (stopRequested())
            return Pump::Stopped;
        const qint64 elapsed = clock.elapsed();
        if (timeoutMs >= 0 && elapsed >= timeoutMs)
            return Pump::TimedOut;
        if (silenceCounts && !m_waiting && elapsed >= kSilenceMs)
            setWaiting(true);
        qint64 slice = kStopCheckMs;
        if (timeoutMs >= 0)
            slice = std::min<qint64>(slice, timeoutMs - elapsed);
        if (m_wakeup->wait(fd, events, int(slice)) == Wakeup::Wait::Ready)
            return Pump::Done;
    }
}

bool CutterLink::pause(int ms)
{
    return ms <= 0 ? !stopRequested() : waitFor(-1, 0, ms, false) != Pump::Stopped;
}

bool CutterLink::pollPause()
{
    return pause(pollPauseMs);
}

bool CutterLink::begin()
{
    m_abandoned = false;
    return !m_wakeup->cancelled();
}

void CutterLink::setWaiting(bool waiting)
{
    if (waiting == m_waiting && !waiting)
        return;
    m_waiting = waiting;
    if (m_waitingHook)
        m_waitingHook(waiting);
}
