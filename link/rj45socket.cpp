#include "rj45socket.h"

#include "cutterprotocol.h"
#include "linkhelpers.h"

#include <QtDebug>

RJ45Socket::RJ45Socket(QObject *parent, quint16 port) : QTcpSocket(parent), m_port(port)
{
}

bool RJ45Socket::connectHost(const QString &ip)
{
    Exchange exchange(*this);
    if (exchange.refused() || !isValidIp(ip))
        return false;
    m_ip = ip;
    if (state() == ConnectedState)
        disconnectFromHost();
    return connectAndWait();
}

bool RJ45Socket::connectAndWait()
{
    if (state() != UnconnectedState)
        abort(); // a half-closed or pending socket cannot start a new connection
    connectToHost(m_ip, m_port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    const Pump result = pumpUntil([this] { return state() == ConnectedState || state() == UnconnectedState; },
                                  kConnectTimeoutMs, false);
    if (result != Pump::Done || state() != ConnectedState) {
        abort();
        setWaiting(true);
        return false;
    }
    // Connected exactly once, however often we reconnect.
    disconnect(this, &QIODevice::readyRead, this, &RJ45Socket::on_socket_read);
    connect(this, &QIODevice::readyRead, this, &RJ45Socket::on_socket_read);
    return true;
}

void RJ45Socket::on_socket_read()
{
    replyBuffer = readAll();
}

bool RJ45Socket::sendCmd(const QString &cmd)
{
    Exchange exchange(*this);
    if (exchange.refused())
        return false;
    return send(cmd);
}

bool RJ45Socket::send(const QString &cmd)
{
    replyBuffer.clear();
    if (state() == UnconnectedState && !m_ip.isEmpty())
        connectAndWait();
    bool written = false;
    if (state() == ConnectedState) {
        const QByteArray bytes = cmd.toUtf8();
        written = write(bytes) == bytes.size();
        flush();
    }
    qDebug() << logLabel("Send:", 31).constData() << cmd;
    return written;
}

QString RJ45Socket::readReply(int timeoutMs)
{
    Exchange exchange(*this);
    if (exchange.refused())
        return QString();
    return awaitReply(timeoutMs);
}

QString RJ45Socket::awaitReply(int timeoutMs)
{
    const Pump result = pumpUntil(
        [this] { return !replyBuffer.isEmpty() || state() != ConnectedState; }, timeoutMs);
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
    Exchange exchange(*this);
    if (exchange.refused())
        return WaitOutcome::NoCutter;
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
