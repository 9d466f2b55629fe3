#pragma once
#include "wakeup.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>

// How a wait on the cutter ended.
enum class WaitOutcome {
    Done,     // the cutter gave the awaited reply
    Stopped,  // the caller's stop condition became true; the caller ends its procedure
    NoCutter, // the link cannot reach the cutter (USB device gone)
};

// The cutter as callers see it, whatever the transport (UsbOperate, RJ45Socket).
//
// Contract shared by both links:
// - Every operation blocks the calling thread (the cutter session's), which
//   owns the link; nothing else calls it meanwhile. A wait sleeps in poll() on
//   the link's descriptor and the link's Wakeup, never in an event loop.
// - sendCmd writes the text unchanged (UTF-8, nothing appended). It returns
//   false when the text could not be handed to the cutter.
// - readReply waits for the next single reply and returns its text; the empty
//   text means no reply (time-out, connection down, device gone, stopped).
//   timeoutMs < 0 waits without limit while the link is up.
// - waitFree is the status poll: pause 500 ms, send "CMD:10;", read one reply,
//   until the reply is exactly "FREE;". No overall time-out.
// - Every wait (reply wait, status poll, pause, connect) also ends as soon as
//   the stop condition returns true; the wait then reports WaitOutcome::Stopped
//   (readReply returns the empty text and abandoned() is true). The condition
//   is looked at whenever wake() is called and at least every 50 ms. It should
//   mean "abandon the exchange now": a stop request that lets the current
//   sheet finish belongs in the caller's own checks between steps. While it
//   holds, every operation ends at once (nothing is waited for).
// - After cancel() (the session is closing) nothing is sent and every wait
//   ends at once, for good.
// - While the cutter stays silent for kSilenceMs or the connection is down,
//   the waiting hook is called with true (once per silent stretch, again after
//   each failed reconnect); when an answer arrives afterwards it is called with
//   false. Callers use it to show "waiting for the cutter".
class CutterLink
{
public:
    using StopCondition = std::function<bool()>;
    using WaitingHook = std::function<void(bool waiting)>;

    static constexpr int kPollPauseMs = 500;
    static constexpr int kSilenceMs = 3000;

    virtual ~CutterLink() = default;

    virtual bool sendCmd(const QString &cmd) = 0;
    virtual QString readReply(int timeoutMs = -1) = 0;
    virtual WaitOutcome waitFree() = 0;
    // USB: the selected device exists; network: the socket is connected.
    virtual bool isUsable() = 0;

    // The pause before each status poll and each waitReply read, ms. Tests
    // shorten it; the program keeps kPollPauseMs.
    int pollPauseMs = kPollPauseMs;

    void setStopCondition(StopCondition stop) { m_stop = std::move(stop); }
    void setWaitingHook(WaitingHook hook) { m_waitingHook = std::move(hook); }
    bool stopRequested() const { return m_wakeup->cancelled() || (m_stop && m_stop()); }
    // True when the most recent operation was ended by the stop condition.
    bool abandoned() const { return m_abandoned; }

    // The waits of this link end when `wakeup` is woken (the session shares
    // one between its links and its own waits); it must outlive the link.
    void setWakeup(Wakeup *wakeup) { m_wakeup = wakeup ? wakeup : &m_ownWakeup; }
    // Any thread: the current wait looks at the stop condition now.
    void wake() { m_wakeup->wake(); }
    // Any thread: every wait ends at once and nothing more is sent, for good.
    void cancel() { m_wakeup->cancel(); }
    bool cancelled() const { return m_wakeup->cancelled(); }

    // Sleeps ms milliseconds; false when the stop condition ended it early.
    bool pause(int ms);

protected:
    enum class Pump { Done, TimedOut, Stopped };

    // Waits until fd is ready for `events` (poll(2) flags), timeoutMs passes
    // (< 0: no limit) or the stop condition holds. Reports the silence to the
    // waiting hook when the wait lasts long.
    Pump waitFor(int fd, short events, int timeoutMs, bool silenceCounts = true);
    // The pause before a poll; false when stopped during it.
    bool pollPause();

    void setWaiting(bool waiting);
    // Starts an operation: clears abandoned(); false after cancel() (nothing may be done).
    bool begin();
    void markAbandoned(bool abandoned) { m_abandoned = abandoned; }

private:
    StopCondition m_stop;
    WaitingHook m_waitingHook;
    Wakeup m_ownWakeup;
    Wakeup *m_wakeup = &m_ownWakeup;
    bool m_waiting = false;
    bool m_abandoned = false;
};
