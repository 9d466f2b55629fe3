#include "camserver.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

CamServer::CamServer(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_scene(options.qrText)
    , m_server(new QTcpServer(this))
    , m_timer(this)
{
    connect(m_server, &QTcpServer::newConnection, this, &CamServer::acceptClients);
    connect(&m_timer, &QTimer::timeout, this, &CamServer::sendFrame);
    m_timer.setTimerType(Qt::PreciseTimer);
}

bool CamServer::start()
{
    if (!m_options.folder.isEmpty()) {
        const QDir dir(m_options.folder);
        for (const QString &name : dir.entryList({"*.jpg", "*.jpeg", "*.JPG", "*.JPEG"}, QDir::Files,
                                                 QDir::Name))
            m_files.append(dir.filePath(name));
        if (m_files.isEmpty()) {
            m_error = QStringLiteral("no JPEG files in %1").arg(m_options.folder);
            return false;
        }
    }
    if (!m_server->listen(m_options.host, m_options.port)) {
        m_error = m_server->errorString();
        return false;
    }
    m_clock.start();
    m_timer.start(1000 / qBound(1, m_options.fps, 1000));
    return true;
}

quint16 CamServer::serverPort() const
{
    return m_server->serverPort();
}

void CamServer::acceptClients()
{
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        m_clients.append(client);
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            m_clients.removeAll(client);
            client->deleteLater();
        });
        // The camera only talks; whatever a client sends is thrown away.
        connect(client, &QTcpSocket::readyRead, client, [client] { client->readAll(); });
    }
}

void CamServer::sendFrame()
{
    if (m_clients.isEmpty())
        return;
    const QByteArray bytes = frameCameraJpeg(nextJpeg());
    ++m_serial;
    for (QTcpSocket *client : qAsConst(m_clients))
        if (client->bytesToWrite() + bytes.size() <= kMaxBacklog)
            client->write(bytes);
}

QByteArray CamServer::nextJpeg()
{
    if (m_files.isEmpty())
        return encodeCameraJpeg(m_scene.frame(m_clock.elapsed(), m_serial), m_options.quality);
    QFile file(m_files.at(m_serial % m_files.size()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
