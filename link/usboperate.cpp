#include "usboperate.h"

#include "cutterprotocol.h"
#include "usbdevices.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QtDebug>

#include <poll.h>

namespace {

// Bounds the reads that drop stale replies: a device that keeps sending cannot hold a command back.
constexpr int kMaxStaleReads = 16;

int remainingMs(const QDeadlineTimer &deadline)
{
    return deadline.isForever() ? -1 : int(deadline.remainingTime());
}

// A probe's open must not meet the link's own open: usblp would refuse the
// second one, and the link would take its own probe for another program.
QMutex &opening()
{
    static QMutex mutex;
    return mutex;
}

} // namespace

UsbOperate::UsbOperate(QObject *parent) : QObject(parent) {}

UsbOperate::~UsbOperate() = default;

QStringList UsbOperate::listDevices() const
{
    QStringList names;
    for (const UsbDevices::Cutter &c : UsbDevices::attachedCutters()) {
        QMutexLocker lock(&opening());
        // The held node is not opened again: usblp would refuse it, and the
        // probe's close would cancel the job's read request.
        if (c.node == m_heldPath)
            names << c.instance;
        else if (const UsbNode::Open probe = UsbNode::probe(c.node);
                 probe == UsbNode::Open::Ok || probe == UsbNode::Open::InUse)
            names << c.instance;
    }
    return names;
}

void UsbOperate::setDevice(const QString &instance)
{
    if (instance != instanceName)
        release();
    instanceName = instance;
}

bool UsbOperate::deviceExists()
{
    if (m_node.isOpen()) {
        if (UsbDevices::nodeFor(instanceName) == m_node.path())
            return true;
        release(); // unplugged, or plugged in again under another node
    }
    return acquire();
}

bool UsbOperate::acquire()
{
    if (m_node.isOpen())
        return true;
    const QString path = UsbDevices::nodeFor(instanceName);
    UsbNode::Open result = UsbNode::Open::Missing;
    if (!path.isEmpty()) {
        QMutexLocker lock(&opening());
        result = m_node.open(path);
        if (result == UsbNode::Open::Ok)
            m_heldPath = path;
    }
    const bool changed = result != m_lastOpen;
    m_lastOpen = result;
    switch (result) {
    case UsbNode::Open::Ok:
        return true;
    case UsbNode::Open::InUse:
        if (changed)
            qWarning().noquote() << "The cutter is in use by another program:" << instanceName << path;
        emit cutterInUse();
        return false;
    case UsbNode::Open::Refused:
        if (changed)
            qWarning().noquote() << "The cutter's node cannot be opened (permissions?):" << path;
        return false;
    case UsbNode::Open::Missing:
        return false;
    }
    return false;
}

void UsbOperate::release()
{
    QMutexLocker lock(&opening());
    m_node.close();
    m_heldPath.clear();
}

void UsbOperate::dropStaleReplies()
{
    QStringList stale;
    QByteArray bytes;
    for (int i = 0; i < kMaxStaleReads; ++i) {
        const UsbNode::Io io = m_node.read(bytes);
        if (io == UsbNode::Io::Gone)
            release();
        if (io != UsbNode::Io::Done)
            break;
        stale << QString::fromLatin1(bytes);
    }
    if (!stale.isEmpty())
        qInfo() << "discarded stale reply:" << stale.join(QString());
}

bool UsbOperate::write(const QString &cmd)
{
    if (!acquire())
        return false;
    dropStaleReplies();
    const QByteArray bytes = cmd.toUtf8();
    qsizetype done = 0;
    while (m_node.isOpen() && done < bytes.size()) {
        qsizetype written = 0;
        const UsbNode::Io io = m_node.write(bytes.constData() + done, bytes.size() - done, written);
        done += written;
        if (io == UsbNode::Io::Gone)
            release();
        else if (io == UsbNode::Io::Again && waitFor(m_node.fd(), POLLOUT, -1) == Pump::Stopped)
            markAbandoned(true);
        if (abandoned())
            break;
    }
    if (done < bytes.size()) {
        qWarning() << "USB write failed after" << done << "of" << bytes.size() << "bytes";
        // The driver cancels its write in flight when the node is closed: the
        // part of a stopped text the cutter has not taken never reaches it,
        // and the next command does not land inside it.
        if (abandoned())
            release();
        return false;
    }
    qDebug() << "Send:" << cmd;
    return true;
}

void UsbOperate::read(int timeoutMs)
{
    m_reply.clear();
    if (!acquire())
        return;
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                : QDeadlineTimer(timeoutMs));
    for (;;) {
        QByteArray bytes;
        const UsbNode::Io io = m_node.read(bytes);
        if (io == UsbNode::Io::Gone) {
            release();
            return;
        }
        if (io == UsbNode::Io::Done) {
            m_reply = QString::fromLatin1(bytes);
            break;
        }
        const Pump pump = waitFor(m_node.fd(), POLLIN, remainingMs(deadline));
        if (pump == Pump::Stopped) {
            markAbandoned(true);
            return;
        }
        if (pump == Pump::TimedOut)
            break;
    }
    if (!m_reply.isEmpty())
        setWaiting(false);
    qDebug() << "Recv:" << m_reply;
}

bool UsbOperate::sendCmd(const QString &cmd)
{
    return begin() && write(cmd);
}

QString UsbOperate::readReply(int timeoutMs)
{
    m_reply.clear();
    if (begin())
        read(timeoutMs);
    return m_reply;
}

WaitOutcome UsbOperate::waitFree()
{
    return pollUntil(CutterProtocol::kStatusPoll, CutterProtocol::kFree);
}

WaitOutcome UsbOperate::waitReply(const QString &expected)
{
    return pollUntil(QString(), expected);
}

WaitOutcome UsbOperate::pollUntil(const QString &send, const QString &expected)
{
    if (!begin())
        return WaitOutcome::Stopped;
    for (;;) {
        if (!deviceExists())
            return WaitOutcome::NoCutter;
        if (!pollPause()) {
            markAbandoned(true);
            return WaitOutcome::Stopped;
        }
        if (!send.isEmpty())
            write(send);
        if (!abandoned())
            read(-1);
        if (abandoned())
            return WaitOutcome::Stopped;
        if (m_reply == expected)
            return WaitOutcome::Done;
    }
}
