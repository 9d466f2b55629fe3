#pragma once
#include <QMutex>

#include <atomic>
#include <functional>

// Wakes a thread that waits in poll(): an eventfd that other threads write to.
// One thread waits at a time (the cutter session's); any thread may wake it.
// cancel() is for good: every wait ends at once from then on.
class Wakeup
{
public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup &) = delete;
    Wakeup &operator=(const Wakeup &) = delete;

    enum class Wait { Ready, TimedOut, Woken };

    // Any thread: the current or next wait returns Woken at once.
    void wake();
    // Any thread: cancels every wait, now and later.
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }

    // Waits until fd is ready for `events` (fd < 0: only sleeps), timeoutMs
    // passes (< 0: no limit) or wake()/cancel() is called. A wake that came
    // while nobody waited ends the next wait at once.
    Wait wait(int fd, short events, int timeoutMs);

private:
    void drain();

    int m_fd = -1;
    std::atomic<bool> m_cancelled{false};
};
