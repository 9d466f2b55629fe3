#include "fakenetwork.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

namespace {
// Per-connection state kept as socket properties.
const char *kBuffer = "buffer";
const char *kStage = "stage";
enum Stage { Greeting, Request, Cutter, Camera };
constexpr int kIpv4RequestBytes = 10;
} // namespace

FakeNetwork::FakeNetwork(quint16 cameraPort)
    : m_cameraPort(cameraPort)
{
    moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(this, [this] {
        m_server = new QTcpServer;
        connect(m_server, &QTcpServer::newConnection, this, &FakeNetwork::accept);
        m_server->listen(QHostAddress::LocalHost, 0);
        m_port = m_server->serverPort();
    }, Qt::BlockingQueuedConnection);
}

FakeNetwork::~FakeNetwork()
{
    QMetaObject::invokeMethod(this, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
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

QString FakeNetwork::cutterInput() const
{
    QMutexLocker lock(&m_mutex);
    return m_cutterInput;
}

void FakeNetwork::clearRecords()
{
    QMutexLocker lock(&m_mutex);
    m_targets.clear();
    m_cutterInput.clear();
}

void FakeNetwork::dropCameraClients()
{
    QMetaObject::invokeMethod(this, [this] {
        for (QTcpSocket *client : m_server->findChildren<QTcpSocket *>())
            if (client->property(kStage).toInt() == Camera)
                client->disconnectFromHost();
    }, Qt::BlockingQueuedConnection);
}

void FakeNetwork::accept()
{
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        client->setProperty(kStage, Greeting);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { handle(client); });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
}

void FakeNetwork::handle(QTcpSocket *client)
{
    QByteArray buffer = client->property(kBuffer).toByteArray() + client->readAll();
    switch (client->property(kStage).toInt()) {
    case Greeting: // version, method count, methods: accept without authentication
        if (buffer.size() >= 2 && buffer.size() >= 2 + quint8(buffer.at(1))) {
            buffer.remove(0, 2 + quint8(buffer.at(1)));
            client->write(QByteArray("\x05\x00", 2));
            client->setProperty(kStage, Request);
        }
        break;
    case Request:
        if (buffer.size() >= kIpv4RequestBytes)
            connectTarget(client, buffer);
        break;
    case Cutter:
        answerCutter(client, buffer);
        break;
    default:
        buffer.clear(); // the camera ignores what it is sent
    }
    client->setProperty(kBuffer, buffer);
}

// CONNECT to an IPv4 address (Qt sends literal addresses as such).
void FakeNetwork::connectTarget(QTcpSocket *client, QByteArray &buffer)
{
    const QHostAddress host(qFromBigEndian<quint32>(buffer.constData() + 4));
    const quint16 port = qFromBigEndian<quint16>(buffer.constData() + 8);
    buffer.remove(0, kIpv4RequestBytes);
    {
        QMutexLocker lock(&m_mutex);
        m_targets.append(QStringLiteral("%1:%2").arg(host.toString()).arg(port));
    }
    client->write(QByteArray("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10));
    client->setProperty(kStage, port == 9100 ? Cutter : Camera);
    if (port == 9100)
        return;
    auto *camera = new QTcpSocket(client);
    connect(camera, &QTcpSocket::readyRead, client, [client, camera] { client->write(camera->readAll()); });
    connect(camera, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    camera->connectToHost(QHostAddress::LocalHost, m_cameraPort);
}

void FakeNetwork::answerCutter(QTcpSocket *client, QByteArray &buffer)
{
    QMutexLocker lock(&m_mutex);
    if (buffer.endsWith("CMD:10;"))
        client->write("FREE;");
    else if (buffer.startsWith("CMD:107,") && buffer.endsWith(';'))
        client->write(m_setupReply);
    else
        return; // a command still arriving
    m_cutterInput += QString::fromUtf8(buffer);
    buffer.clear();
}
