#pragma once
// A SOCKS5 proxy on 127.0.0.1 that stands in for the network the main
// window's sockets see, so the fixed ports (cutter 9100, camera 5000) and
// any camera address can be used without leaving the loopback interface:
// - connections to port 9100 reach a fake cutter that answers "CMD:10;" with
//   "FREE;" and the camera set-up with setupReply;
// - connections to any other port are relayed to 127.0.0.1:cameraPort.
// It runs on its own thread, because the camera start waits for its
// connection without handling events.
#include <QByteArray>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

class QTcpServer;
class QTcpSocket;

class FakeNetwork : public QObject
{
    Q_OBJECT
public:
    FakeNetwork();
    ~FakeNetwork() override;

    quint16 port() const { return m_port; }
    void setCameraPort(quint16 port);
    void setSetupReply(const QByteArray &reply);
    // "host:port" of every connection asked for, in order.
    QStringList targets() const;
    // Commands the fake cutter received, each with its ";".
    QStringList cutterCommands() const;
    void clearRecords();
    // Closes every relayed camera connection, as a camera that goes away.
    void dropCameraClients();

private:
    Q_INVOKABLE void listen();
    Q_INVOKABLE void closeCameraClients();
    void accept();
    void handle(QTcpSocket *client);
    bool handshake(QTcpSocket *client, QByteArray &buffer);
    void answerCutter(QTcpSocket *client, QByteArray &buffer);
    void relay(QTcpSocket *client, QByteArray &buffer);

    QThread m_thread;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    quint16 m_cameraPort = 0;
    QByteArray m_setupReply;
    QStringList m_targets;
    QStringList m_commands;
};
