#include "simserver.h"

#include "simrender.h"

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

const QByteArray CutterSimServer::kGarbage = QByteArrayLiteral("\x15#?g4rb@ge\x7f");

CutterSimServer::CutterSimServer(SimConfig config, QObject *parent)
    : QObject(parent), m_cutter(std::move(config))
{
    m_clock.start();
}

CutterSimServer::~CutterSimServer()
{
    hangUp();
    m_usb.reset(); // its thread calls back into this object
}

bool CutterSimServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &CutterSimServer::acceptConnection);
    }
    return m_server->listen(address, port);
}

quint16 CutterSimServer::serverPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

void CutterSimServer::stopListening()
{
    if (m_server)
        m_server->close();
    dropConnection();
}

void CutterSimServer::acceptConnection()
{
    while (QTcpSocket *next = m_server->nextPendingConnection()) {
        // The cutter talks to one program at a time: a new connection replaces the old one.
        if (m_socket)
            m_socket->abort();
        m_socket = next;
        m_socketCommands = 0;
        ++m_connections;
        {
            QMutexLocker locker(&m_lock);
            m_cutter.dropPartial(); // what the lost connection began is not continued by this one
        }
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        next->setReadBufferSize(1 << 16); // unread bytes back up to the sender, as in a device
        connect(next, &QTcpSocket::readyRead, this, [this, next] { readSocket(next); });
        connect(next, &QTcpSocket::disconnected, next, &QObject::deleteLater);
    }
}

void CutterSimServer::dropConnection()
{
    if (m_socket)
        m_socket->abort();
}

void CutterSimServer::resumeReading()
{
    m_faults.stalled = false;
    if (m_socket)
        readSocket(m_socket);
}

void CutterSimServer::readSocket(QTcpSocket *socket)
{
    if (socket != m_socket || m_faults.stalled)
        return;
    const QPointer<QTcpSocket> guard(socket);
    auto write = [guard, this](const QByteArray &bytes) {
        if (guard && guard->state() == QAbstractSocket::ConnectedState) {
            log("tx", bytes);
            guard->write(bytes);
            guard->flush();
        }
    };
    const QByteArray bytes = socket->readAll();
    m_tcpBytes += bytes.size();
    if (process(bytes, write, m_socketCommands, true))
        socket->disconnectFromHost();
}

bool CutterSimServer::process(const QByteArray &bytes, const std::function<void(const QByteArray &)> &write,
                              int &commands, bool stream)
{
    QMutexLocker locker(&m_lock);
    log("rx", bytes);
    const int before = m_cutter.instructions().size();
    const QList<QByteArray> replies = m_cutter.receive(bytes);
    bool close = false;
    for (int i = before; i < m_cutter.instructions().size(); ++i) {
        if (m_cutter.instructions().at(i).startsWith(QLatin1String("CMD:")))
            ++commands;
    }
    if (m_faults.dropAfter > 0 && commands >= m_faults.dropAfter)
        close = true;
    for (const QByteArray &reply : replies)
        sendReply(reply, write, stream);
    if (m_cutter.instructions().size() != before)
        announce(m_cutter.instructions().size());
    return close;
}

// Signals and pictures come from the owner's thread, also when the USB node's
// thread received the instructions.
void CutterSimServer::announce(int instructions)
{
    for (; m_hook && m_hooked < instructions; ++m_hooked)
        m_hook(m_cutter.instructions().at(m_hooked));
    const auto tell = [this, instructions] {
        renderNewSheets();
        emit instructionsReceived(instructions);
    };
    if (QThread::currentThread() == thread())
        tell();
    else
        QMetaObject::invokeMethod(this, tell, Qt::QueuedConnection);
}

void CutterSimServer::sendReply(const QByteArray &reply, const std::function<void(const QByteArray &)> &write,
                                bool stream)
{
    if (m_faults.silent)
        return;
    const QByteArray bytes = m_faults.garbage ? kGarbage : reply;
    // Only a byte stream splits a reply; a USB transfer arrives whole.
    if (!stream || !m_faults.splitReplies || bytes.size() < 2) {
        write(bytes);
        return;
    }
    const int half = bytes.size() / 2;
    write(bytes.left(half));
    QTimer::singleShot(kSplitGapMs, this, [write, rest = bytes.mid(half)] { write(rest); });
}

QString CutterSimServer::openUsbNode(QString *error)
{
    hangUp();
    m_usb = std::make_unique<UsblpNode>([this](const QByteArray &bytes) { readUsb(bytes); });
    m_usbCommands = 0;
    if (!m_usb->start(error)) {
        m_usb.reset();
        return QString();
    }
    return m_usb->path();
}

void CutterSimServer::hangUp()
{
    if (m_usb)
        m_usb->unplug();
}

void CutterSimServer::readUsb(const QByteArray &bytes)
{
    UsblpNode *node = m_usb.get();
    // Each reply is one bulk-in transfer; a reply due later (split) is sent
    // only while the same device is still plugged in.
    auto write = [this, node](const QByteArray &out) {
        if (m_usb.get() != node)
            return;
        log("tx", out);
        node->send(out);
    };
    if (process(bytes, write, m_usbCommands, false))
        node->unplug();
}

bool CutterSimServer::setTranscript(const QString &file)
{
    m_transcript.close();
    m_transcript.setFileName(file);
    return m_transcript.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

QByteArray CutterSimServer::escapeBytes(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (u >= 0x20 && u < 0x7f)
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

void CutterSimServer::log(const char *direction, const QByteArray &bytes)
{
    QMutexLocker locker(&m_lock);
    if (!m_transcript.isOpen())
        return;
    m_transcript.write(QByteArray::number(m_clock.elapsed()) + ' ' + direction + ' ' + escapeBytes(bytes) + '\n');
    m_transcript.flush();
}

void CutterSimServer::renderNewSheets()
{
    QMutexLocker locker(&m_lock);
    const QVector<SimSheet> &sheets = m_cutter.finishedSheets();
    while (m_rendered < sheets.size()) {
        const int number = ++m_rendered;
        if (!m_renderDir.isEmpty()) {
            QDir().mkpath(m_renderDir);
            saveSheetPng(sheets.at(number - 1),
                         QDir(m_renderDir).filePath(QStringLiteral("sheet-%1.png").arg(number, 3, 10, QLatin1Char('0'))));
        }
        emit sheetFinished(number);
    }
}
