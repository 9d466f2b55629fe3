#include "rj45socket.h"

#include "cutterprotocol.h"
#include "linkhelpers.h"

#include <QElapsedTimer>

#include <QtDebug>

#include <QHostAddress>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RJ45Socket::RJ45Socket(QObject *parent, quint16 port) : QTcpSocket(parent), m_port(port)
{
}

bool RJ45Socket::connectHost(const QString &ip)
{
    if (!begin() || !isValidIp(ip))
        return false;
    m_ip = ip;
    if (state() == ConnectedState)
        disconnectFromHost();
    return connectAndWait();
}

// Qt does not show the descriptor of a socket that is still connecting, so
// the connection is made on a socket of our own, waited for in poll() (where
// Stop and the session's end reach it), and handed to Qt once it stands.
bool RJ45Socket::connectAndWait()
{
    if (state() != UnconnectedState)
        abort(); // a half-closed or pending socket cannot start a new connection
    const int error = connectSocket();
    if (error != 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(error)));
        setWaiting(true);
        return false;
    }
    ++m_connections;
    // Connected exactly once, however often we reconnect.
    disconnect(this, &QIODevice::readyRead, this, &RJ45Socket::on_socket_read);
    connect(this, &QIODevice::readyRead, this, &RJ45Socket::on_socket_read);
    return true;
}

// 0 once Qt holds the connected socket, else the errno that says why not.
int RJ45Socket::connectSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(QHostAddress(m_ip).toIPv4Address());
    int error = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
        const Pump ready = waitFor(fd, POLLOUT, kConnectTimeoutMs, false);
        socklen_t size = sizeof error;
        if (ready != Pump::Done)
            error = ready == Pump::Stopped ? ECANCELED : ETIMEDOUT;
        else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            error = errno;
    }
    if (error == 0 && !setSocketDescriptor(fd))
        error = EBADF;
    if (error != 0)
        ::close(fd);
    return error;
}

void RJ45Socket::on_socket_read()
{
    replyBuffer = readAll();
}

bool RJ45Socket::sendCmd(const QString &cmd)
{
    return begin() && send(cmd);
}

bool RJ45Socket::send(const QString &cmd)
{
    replyBuffer.clear();
    if (state() == UnconnectedState && !m_ip.isEmpty())
        connectAndWait();
    bool written = false;
    if (state() == ConnectedState) {
        const QByteArray bytes = cmd.toUtf8();
        written = write(bytes) == bytes.size() && flushAll();
    }
    qDebug() << logLabel("Send:", 31).constData() << cmd;
    return written;
}

// Hands everything written to the kernel, waiting while its buffer is full.
bool RJ45Socket::flushAll()
{
    while (bytesToWrite() > 0 && state() == ConnectedState) {
        flush();
        if (bytesToWrite() > 0 && waitFor(int(socketDescriptor()), POLLOUT, -1) == Pump::Stopped) {
            markAbandoned(true);
            dropUnsent();
            return false;
        }
    }
    return bytesToWrite() == 0 && state() == ConnectedState; // Qt empties its buffer when the connection fails
}

// The rest of a text the cutter stopped taking must never reach it later: a
// stopped job would otherwise be cut on when the cutter reads again, and the
// next command would arrive in the middle of it. Resetting the connection
// drops Qt's buffer and the kernel's send queue; the next command connects
// anew.
void RJ45Socket::dropUnsent()
{
    qWarning().noquote() << "The cutter did not take" << bytesToWrite()
                         << "bytes of the text; the connection is reset so that they are never sent";
    const linger reset{1, 0};
    ::setsockopt(int(socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    abort();
}

QString RJ45Socket::readReply(int timeoutMs)
{
    if (!begin())
        return QString();
    return awaitReply(timeoutMs);
}

// Each time the descriptor is readable, Qt reads what has come (readyRead
// then replaces the reply buffer) or finds the connection closed.
QString RJ45Socket::awaitReply(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    Pump result = Pump::Done;
    while (replyBuffer.isEmpty() && state() == ConnectedState) {
        const int left = timeoutMs < 0 ? -1 : int(std::max<qint64>(timeoutMs - clock.elapsed(), 0));
        result = waitFor(int(socketDescriptor()), POLLIN, left);
        if (result != Pump::Done)
            break;
        waitForReadyRead(0);
    }
    logReceived();
    if (result == Pump::Stopped) {
        markAbandoned(true);
        return QString();
    }
    if (!replyBuffer.isEmpty())
        setWaiting(false);
    else if (state() != ConnectedState)
        setWaiting(true);
    return QString::fromUtf8(replyBuffer);
}

void RJ45Socket::logReceived() const
{
    qDebug() << logLabel("Recv:", 34).constData() << replyBuffer;
}

WaitOutcome RJ45Socket::waitFree()
{
    if (!begin())
        return WaitOutcome::Stopped;
    for (;;) {
        if (!pollPause()) {
            markAbandoned(true);
            return WaitOutcome::Stopped;
        }
        send(CutterProtocol::kStatusPoll);
        awaitReply(-1);
        if (abandoned())
            return WaitOutcome::Stopped;
        if (replyBuffer == CutterProtocol::kFree.toLatin1())
            return WaitOutcome::Done;
    }
}
