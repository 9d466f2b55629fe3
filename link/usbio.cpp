#include "usbio.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

int openNode(const QString &path)
{
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

} // namespace

UsbNode::Open UsbNode::openResult(int error)
{
    switch (error) {
    case EBUSY:
        return Open::InUse;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Open::Missing;
    default:
        return Open::Refused;
    }
}

UsbNode::Open UsbNode::open(const QString &path)
{
    close();
    const int fd = openNode(path);
    if (fd < 0)
        return openResult(errno);
    m_fd = fd;
    m_path = path;
    return Open::Ok;
}

void UsbNode::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

UsbNode::Open UsbNode::probe(const QString &path)
{
    const int fd = openNode(path);
    if (fd < 0)
        return openResult(errno);
    ::close(fd);
    return Open::Ok;
}

UsbNode::Io UsbNode::read(QByteArray &bytes)
{
    char buffer[kMaxReply];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN ? Io::Again : Io::Gone;
        if (n == 0)
            return Io::Again; // an empty transfer: nothing to take
        bytes = QByteArray(buffer, int(::strnlen(buffer, size_t(n))));
        return Io::Done;
    }
}

UsbNode::Io UsbNode::write(const char *data, qsizetype size, qsizetype &written)
{
    written = 0;
    for (;;) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN ? Io::Again : Io::Gone;
        written = n;
        return n > 0 || size == 0 ? Io::Done : Io::Again;
    }
}
