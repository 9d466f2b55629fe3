#include "simserver.h"

#include "simrender.h"

#include <QDir>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

const QByteArray CutterSimServer::kGarbage = QByteArrayLiteral("\x15#?g4rb@ge\x7f");

CutterSimServer::CutterSimServer(SimConfig config, QObject *parent)
    : QObject(parent), m_cutter(std::move(config))
{
    m_clock.start();
}

CutterSimServer::~CutterSimServer()
{
    hangUp();
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
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(next, &QTcpSocket::readyRead, this, [this, next] { readSocket(next); });
        connect(next, &QTcpSocket::disconnected, next, &QObject::deleteLater);
    }
}

void CutterSimServer::dropConnection()
{
    if (m_socket)
        m_socket->abort();
}

void CutterSimServer::readSocket(QTcpSocket *socket)
{
    if (socket != m_socket)
        return;
    const QPointer<QTcpSocket> guard(socket);
    auto write = [guard, this](const QByteArray &bytes) {
        if (guard && guard->state() == QAbstractSocket::ConnectedState) {
            log("tx", bytes);
            guard->write(bytes);
            guard->flush();
        }
    };
    if (process(socket->readAll(), write, m_socketCommands))
        socket->disconnectFromHost();
}

bool CutterSimServer::process(const QByteArray &bytes, const std::function<void(const QByteArray &)> &write,
                              int &commands)
{
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
        sendReply(reply, write);
    renderNewSheets();
    if (m_cutter.instructions().size() != before)
        emit instructionsReceived(m_cutter.instructions().size());
    return close;
}

void CutterSimServer::sendReply(const QByteArray &reply, const std::function<void(const QByteArray &)> &write)
{
    if (m_faults.silent)
        return;
    const QByteArray bytes = m_faults.garbage ? kGarbage : reply;
    if (!m_faults.splitReplies || bytes.size() < 2) {
        write(bytes);
        return;
    }
    const int half = bytes.size() / 2;
    write(bytes.left(half));
    QTimer::singleShot(kSplitGapMs, this, [write, rest = bytes.mid(half)] { write(rest); });
}

QString CutterSimServer::openPty()
{
    hangUp();
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return QString();
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_ptyPath = QString::fromLocal8Bit(name);
    m_ptyCommands = 0;
    m_ptyNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_ptyNotifier, &QSocketNotifier::activated, this, &CutterSimServer::readPty);
    return m_ptyPath;
}

void CutterSimServer::hangUp()
{
    delete m_ptyNotifier;
    m_ptyNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

void CutterSimServer::readPty()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (bytes.isEmpty())
        return;
    const int master = m_master;
    auto write = [this, master](const QByteArray &out) {
        if (m_master == master && master >= 0) {
            log("tx", out);
            writePty(out);
        }
    };
    if (process(bytes, write, m_ptyCommands))
        hangUp();
}

void CutterSimServer::writePty(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the reader went away; the reply is lost as on a real line
        done += n;
    }
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
    if (!m_transcript.isOpen())
        return;
    m_transcript.write(QByteArray::number(m_clock.elapsed()) + ' ' + direction + ' ' + escapeBytes(bytes) + '\n');
    m_transcript.flush();
}

void CutterSimServer::renderNewSheets()
{
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
