#include "wakeup.h"

#include <QtDebug>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

Wakeup::Wakeup() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        qFatal("eventfd failed: %s", strerror(errno));
}

Wakeup::~Wakeup()
{
    ::close(m_fd);
}

void Wakeup::wake()
{
    const quint64 one = 1;
    // The counter only saturates after 2^64 - 2 wakes; EAGAIN then still leaves it readable.
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void Wakeup::cancel()
{
    m_cancelled.store(true);
    wake();
}

void Wakeup::drain()
{
    quint64 count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &count, sizeof count);
}

Wakeup::Wait Wakeup::wait(int fd, short events, int timeoutMs)
{
    if (m_cancelled.load())
        return Wait::Woken;
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    int n;
    do
        n = ::poll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
    while (n < 0 && errno == EINTR); // a signal for another purpose; the time-out is only an upper bound
    if (n <= 0)
        return Wait::TimedOut;
    if (fds[0].revents) {
        drain();
        return Wait::Woken;
    }
    return Wait::Ready;
}
