#pragma once
#include <QString>

#include <functional>

// How a wait on the cutter ended.
enum class WaitOutcome {
    Done,     // the cutter gave the awaited reply
    Stopped,  // the caller's stop condition became true; the caller ends its procedure
    NoCutter, // the link cannot reach the cutter (USB device gone) or is busy with another exchange
};

// The cutter as callers see it, whatever the transport (UsbOperate, RJ45Socket).
//
// Contract shared by both links:
// - Everything runs on the GUI thread. Every wait handles pending events while
//   it waits, so the window stays live and a Stop click is delivered.
// - sendCmd writes the text unchanged (UTF-8, nothing appended). It returns
//   false when the text could not be handed to the cutter.
// - readReply waits for the next single reply and returns its text; the empty
//   text means no reply (time-out, connection down, device gone, stopped).
//   timeoutMs < 0 waits without limit while the link is up.
// - waitFree is the status poll: pause 500 ms, send "CMD:10;", read one reply,
//   until the reply is exactly "FREE;". No overall time-out.
// - Every unbounded wait (reply wait, status poll, waitReply, connect) also ends
//   as soon as the stop condition returns true; the wait then reports
//   WaitOutcome::Stopped (readReply returns the empty text and abandoned() is
//   true). The condition is checked at least every 50 ms and after each event.
//   It should mean "abandon the exchange now": a stop request that lets the
//   current sheet finish belongs in the caller's own checks between steps.
//   While it holds, every operation ends at once (nothing is waited for).
// - While the cutter stays silent for kSilenceMs or the connection is down,
//   the waiting hook is called with true (once per silent stretch, again after
//   each failed reconnect); when an answer arrives afterwards it is called with
//   false. Callers use it to show "waiting for the cutter".
// - One exchange at a time: a link operation started from an event handled
//   during another's wait is refused (nothing sent, empty reply, NoCutter).
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
    bool stopRequested() const { return m_stop && m_stop(); }
    // True when the most recent operation was ended by the stop condition.
    bool abandoned() const { return m_abandoned; }

protected:
    enum class Pump { Done, TimedOut, Stopped };

    // Handles events until done() is true, timeoutMs elapsed (< 0: no limit) or
    // the stop condition holds. Sleeps between events instead of spinning.
    // Reports the silence to the waiting hook when the wait lasts long.
    // honourStop = false waits for done() or the time-out only (used to collect
    // a worker that has been told to give up).
    Pump pumpUntil(const std::function<bool()> &done, int timeoutMs, bool silenceCounts = true,
                   bool honourStop = true);
    // The pause before a poll; false when stopped during it.
    bool pollPause();

    void setWaiting(bool waiting);
    void markAbandoned(bool abandoned) { m_abandoned = abandoned; }

    // Guards one exchange; a nested one is refused.
    class Exchange
    {
    public:
        explicit Exchange(CutterLink &link);
        ~Exchange();
        bool refused() const { return m_refused; }
        Exchange(const Exchange &) = delete;
        Exchange &operator=(const Exchange &) = delete;

    private:
        CutterLink &m_link;
        bool m_refused;
    };

private:
    StopCondition m_stop;
    WaitingHook m_waitingHook;
    bool m_waiting = false;
    bool m_abandoned = false;
    bool m_inExchange = false;
};
