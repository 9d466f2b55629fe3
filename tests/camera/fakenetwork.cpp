#include "fakenetwork.h"

#include <QDataStream>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

namespace {
const char *kBuffer = "buffer";
const char *kStage = "stage"; // 0 greeting, 1 request, 2 cutter, 3 camera
const char *kUpstream = "upstream";
const QByteArray kGranted("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10);
} // namespace

FakeNetwork::FakeNetwork()
{
    moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(this, "listen", Qt::BlockingQueuedConnection);
}

FakeNetwork::~FakeNetwork()
{
    QMetaObject::invokeMethod(this, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void FakeNetwork::listen()
{
    m_server = new QTcpServer;
    connect(m_server, &QTcpServer::newConnection, this, &FakeNetwork::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
    m_port = m_server->serverPort();
}

void FakeNetwork::setCameraPort(quint16 port)
{
    QMutexLocker lock(&m_mutex);
    m_cameraPort = port;
}

void FakeNetwork::setSetupReply(const QByteArray &reply)
{
    QMutexLocker lock(&m_mutex);
    m_setupReply = reply;
}

QStringList FakeNetwork::targets() const
{
    QMutexLocker lock(&m_mutex);
    return m_targets;
}

QStringList FakeNetwork::cutterCommands() const
{
    QMutexLocker lock(&m_mutex);
    return m_commands;
}

void FakeNetwork::clearRecords()
{
    QMutexLocker lock(&m_mutex);
    m_targets.clear();
    m_commands.clear();
}

void FakeNetwork::dropCameraClients()
{
    QMetaObject::invokeMethod(this, "closeCameraClients", Qt::BlockingQueuedConnection);
}

void FakeNetwork::closeCameraClients()
{
    for (QTcpSocket *client : m_server->findChildren<QTcpSocket *>())
        if (client->property(kStage).toInt() == 3)
            client->disconnectFromHost();
}

void FakeNetwork::accept()
{
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        client->setProperty(kStage, 0);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { handle(client); });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
}

void FakeNetwork::handle(QTcpSocket *client)
{
    QByteArray buffer = client->property(kBuffer).toByteArray() + client->readAll();
    if (client->property(kStage).toInt() < 2 && !handshake(client, buffer)) {
        client->setProperty(kBuffer, buffer);
        return;
    }
    if (client->property(kStage).toInt() == 2)
        answerCutter(client, buffer);
    else
        relay(client, buffer);
    client->setProperty(kBuffer, buffer);
}

// Greeting (no authentication), then CONNECT; true once both are done.
bool FakeNetwork::handshake(QTcpSocket *client, QByteArray &buffer)
{
    if (client->property(kStage).toInt() == 0) {
        if (buffer.size() < 2 || buffer.size() < 2 + quint8(buffer[1]))
            return false;
        buffer.remove(0, 2 + quint8(buffer[1]));
        client->write(QByteArray("\x05\x00", 2));
        client->setProperty(kStage, 1);
    }
    if (buffer.size() < 5)
        return false;
    QString host;
    int length = 0;
    if (buffer.at(3) == char(1)) { // IPv4
        length = 10;
        if (buffer.size() < length)
            return false;
        host = QHostAddress(qFromBigEndian<quint32>(buffer.constData() + 4)).toString();
    } else if (buffer.at(3) == char(3)) { // host name
        length = 7 + quint8(buffer[4]);
        if (buffer.size() < length)
            return false;
        host = QString::fromLatin1(buffer.mid(5, quint8(buffer[4])));
    } else {
        client->abort();
        return false;
    }
    const quint16 port = qFromBigEndian<quint16>(buffer.constData() + length - 2);
    buffer.remove(0, length);
    {
        QMutexLocker lock(&m_mutex);
        m_targets.append(QStringLiteral("%1:%2").arg(host).arg(port));
    }
    client->write(kGranted);
    client->setProperty(kStage, port == 9100 ? 2 : 3);
    if (port != 9100) {
        quint16 cameraPort;
        {
            QMutexLocker lock(&m_mutex);
            cameraPort = m_cameraPort;
        }
        auto *upstream = new QTcpSocket(client);
        client->setProperty(kUpstream, QVariant::fromValue<QObject *>(upstream));
        connect(upstream, &QTcpSocket::readyRead, client, [client, upstream] {
            client->write(upstream->readAll());
        });
        connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        upstream->connectToHost(QHostAddress::LocalHost, cameraPort);
    }
    return true;
}

void FakeNetwork::answerCutter(QTcpSocket *client, QByteArray &buffer)
{
    int end;
    while ((end = buffer.indexOf(';')) >= 0) {
        const QByteArray command = buffer.left(end + 1);
        buffer.remove(0, end + 1);
        QByteArray answer;
        {
            QMutexLocker lock(&m_mutex);
            m_commands.append(QString::fromUtf8(command));
            if (command == "CMD:10;")
                answer = "FREE;";
            else if (command.startsWith("CMD:107,"))
                answer = m_setupReply;
        }
        // The pass phrase may hold ";": answer the set-up once it is complete.
        if (!answer.isEmpty())
            client->write(answer);
    }
}

void FakeNetwork::relay(QTcpSocket *, QByteArray &buffer)
{
    buffer.clear(); // the camera ignores what it is sent
}
