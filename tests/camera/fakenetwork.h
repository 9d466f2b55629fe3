#pragma once
// A SOCKS5 proxy on 127.0.0.1 standing in for the network the main window's
// sockets see, so the fixed ports and any camera address stay on loopback:
// port 9100 reaches a fake cutter ("CMD:10;" -> "FREE;", the camera set-up
// -> setupReply), any other port is relayed to 127.0.0.1:cameraPort. It runs
// on its own thread: the camera start waits for its connection without
// handling events.
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
    explicit FakeNetwork(quint16 cameraPort);
    ~FakeNetwork() override;

    quint16 port() const { return m_port; }
    void setSetupReply(const QByteArray &reply);
    QStringList targets() const;  // "host:port" of every connection asked for
    QString cutterInput() const;  // every byte the fake cutter received
    void clearRecords();
    void dropCameraClients();     // as a camera that goes away

private:
    void accept();
    void handle(QTcpSocket *client);
    void connectTarget(QTcpSocket *client, QByteArray &buffer);
    void answerCutter(QTcpSocket *client, QByteArray &buffer);

    QThread m_thread;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    const quint16 m_cameraPort;
    mutable QMutex m_mutex;
    QByteArray m_setupReply;
    QStringList m_targets;
    QString m_cutterInput;
};
