#pragma once
#include "cutterlink.h"

#include <QByteArray>
#include <QTcpSocket>

// The cutter over TCP (port 9100). Keeps the bytes of the most recent readyRead
// as the reply: each notification replaces them, a send empties them, so a
// reply split over two segments leaves only its second part and two replies
// in one segment stay together (neither matches a fixed reply).
//
// The connection stays up between operations; a socket the cutter closed is
// reconnected (1000 ms) by the next sendCmd, as is one reset because a write
// was abandoned. Create it on the thread that uses it: the waits poll the
// socket's descriptor and let Qt read (or write) only once it is ready, so no
// event loop runs during an operation.
class RJ45Socket : public QTcpSocket, public CutterLink
{
    Q_OBJECT
public:
    static constexpr quint16 kCutterPort = 9100;
    static constexpr int kConnectTimeoutMs = 1000;

    // port: the program always uses 9100; tests and tools pass another one.
    explicit RJ45Socket(QObject *parent = nullptr, quint16 port = kCutterPort);

    // Connects to ip (dotted quad only; host names and bad addresses give
    // false and leave the stored address alone). Drops a current connection
    // first. false when no connection within 1000 ms.
    bool connectHost(const QString &ip);
    QString ip() const { return m_ip; }
    int connections() const { return m_connections; }
    quint16 cutterPort() const { return m_port; }
    // Takes effect at the next connection.
    void setCutterPort(quint16 port) { m_port = port; }

    bool sendCmd(const QString &cmd) override;
    // Returns the reply buffer once it holds bytes, at once (usually empty)
    // when the socket is not connected. The buffer is not cleared by reading.
    QString readReply(int timeoutMs = -1) override;
    WaitOutcome waitFree() override;
    bool isUsable() override { return state() == ConnectedState; }

private slots:
    void on_socket_read();

private:
    bool connectAndWait();
    int connectSocket();
    bool send(const QString &cmd);
    bool flushAll();
    void dropUnsent();
    QString awaitReply(int timeoutMs);
    void logReceived() const;

    quint16 m_port;
    QString m_ip;
    QByteArray replyBuffer;
    int m_connections = 0;
};
