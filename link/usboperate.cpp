#include "usboperate.h"

#include "cutterprotocol.h"
#include "usbdevices.h"

#include <QDeadlineTimer>
#include <QtDebug>

namespace {

// Bounds the reads that drop stale replies: a device that keeps sending cannot hold a command back.
constexpr int kMaxStaleReads = 16;

int remainingMs(const QDeadlineTimer &deadline)
{
    return deadline.isForever() ? -1 : int(deadline.remainingTime());
}

} // namespace

UsbOperate::UsbOperate(QObject *parent) : QObject(parent) {}

UsbOperate::~UsbOperate() = default;

QStringList UsbOperate::listDevices()
{
    QStringList names;
    bool heldStillThere = false;
    for (const UsbDevices::Cutter &c : UsbDevices::attachedCutters()) {
        const bool held = m_node.isOpen() && c.instance == instanceName && c.node == m_node.path();
        heldStillThere = heldStillThere || held;
        // The held node is not opened again: usblp would refuse it, and the
        // probe's close would cancel the job's read request.
        if (held)
            names << c.instance;
        else if (const UsbNode::Open probe = UsbNode::probe(c.node);
                 probe == UsbNode::Open::Ok || probe == UsbNode::Open::InUse)
            names << c.instance;
    }
    if (m_node.isOpen() && !heldStillThere)
        release();
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
    const UsbNode::Open result = path.isEmpty() ? UsbNode::Open::Missing : m_node.open(path);
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
    m_node.close();
}

UsbOperate::Pump UsbOperate::waitForNode(QSocketNotifier::Type type, int timeoutMs)
{
    QSocketNotifier notifier(m_node.fd(), type);
    bool ready = false;
    connect(&notifier, &QSocketNotifier::activated, &notifier, [&ready, &notifier] {
        ready = true;
        notifier.setEnabled(false);
    });
    return pumpUntil([&ready] { return ready; }, timeoutMs);
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
        else if (io == UsbNode::Io::Again && waitForNode(QSocketNotifier::Write, -1) == Pump::Stopped)
            markAbandoned(true);
        if (abandoned())
            break;
    }
    if (done < bytes.size()) {
        qWarning() << "USB write failed after" << done << "of" << bytes.size() << "bytes";
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
        const Pump pump = waitForNode(QSocketNotifier::Read, remainingMs(deadline));
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
    Exchange exchange(*this);
    if (exchange.refused())
        return false;
    return write(cmd);
}

QString UsbOperate::readReply(int timeoutMs)
{
    Exchange exchange(*this);
    if (exchange.refused())
        return QString();
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
    Exchange exchange(*this);
    if (exchange.refused())
        return WaitOutcome::NoCutter;
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
