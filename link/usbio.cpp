#include "usbio.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace UsbIo {
namespace {

enum class Ready { Yes, TimedOut, Gone, Abandoned };

// Waits until fd is ready for `events`; POLLHUP/POLLERR without data means gone.
Ready waitReady(int fd, short events, int wakeFd, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const int left = deadline.isForever() ? -1 : int(deadline.remainingTime());
        const int n = ::poll(fds, wakeFd >= 0 ? 2 : 1, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Ready::Gone;
        if (n == 0)
            return Ready::TimedOut;
        if (wakeFd >= 0 && (fds[1].revents & POLLIN))
            return Ready::Abandoned;
        if (fds[0].revents & events)
            return Ready::Yes;
        return Ready::Gone; // POLLHUP, POLLERR or POLLNVAL
    }
}

} // namespace

bool writeAll(int fd, const QByteArray &bytes, int wakeFd)
{
    const QDeadlineTimer noLimit(QDeadlineTimer::Forever);
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (waitReady(fd, POLLOUT, wakeFd, noLimit) != Ready::Yes)
            return false;
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    // On a non-blocking usblp node the last transfer may still be running;
    // closing now would cancel it. Writable again means it completed.
    return waitReady(fd, POLLOUT, wakeFd, noLimit) == Ready::Yes;
}

QByteArray readOnce(int fd, int timeoutMs, int wakeFd)
{
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                : QDeadlineTimer(timeoutMs));
    char buffer[kMaxReply];
    for (;;) {
        if (waitReady(fd, POLLIN, wakeFd, deadline) != Ready::Yes)
            return QByteArray();
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return QByteArray(); // 0 bytes, ENODEV, EIO: the device is gone
        return QByteArray(buffer, int(::strnlen(buffer, size_t(n))));
    }
}

} // namespace UsbIo
