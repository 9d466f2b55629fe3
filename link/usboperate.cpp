#include "usboperate.h"

#include "usbdevices.h"
#include "usbio.h"

#include <QThread>
#include <QtDebug>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

void UsbWrite::Write()
{
    m_written = m_fd >= 0 && UsbIo::writeAll(m_fd, m_cmd.toUtf8(), m_wakeFd);
    if (!m_written)
        qWarning() << "USB write failed";
    emit done();
    qDebug() << "Send:" << m_cmd;
}

void UsbRead::Read()
{
    if (m_fd < 0) {
        on_read_timeout();
        return;
    }
    const QString text = QString::fromLatin1(UsbIo::readOnce(m_fd, m_timeoutMs, m_wakeFd));
    emit upgrade(text);
    qDebug() << "Recv:" << text;
}

void UsbRead::on_read_timeout()
{
    emit upgrade(QString());
}

UsbOperate::UsbOperate(QObject *parent) : QObject(parent)
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

UsbOperate::~UsbOperate()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

QStringList UsbOperate::listDevices()
{
    QStringList names;
    for (const UsbDevices::Cutter &c : UsbDevices::attachedCutters()) {
        if (opens(c.instance, c.node))
            names << c.instance;
    }
    return names;
}

bool UsbOperate::opens(const QString &instance, const QString &node) const
{
    if (node.isEmpty())
        return false;
    // A refresh during one of our own transfers must not take the busy cutter for a missing one.
    if (!m_openInstance.isEmpty() && instance == m_openInstance)
        return true;
    const int fd = ::open(node.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void UsbOperate::setDevice(const QString &instance)
{
    instanceName = instance;
}

// Opens the selected cutter's node for one transfer; -1 when it is not there.
int UsbOperate::openNode()
{
    const QString node = UsbDevices::nodeFor(instanceName);
    if (node.isEmpty())
        return -1;
    const int fd = ::open(node.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    // Non-blocking transfers: a blocked usblp write cannot be interrupted, a
    // polled one can (the worker waits in poll() beside the wake fd).
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_openInstance = instanceName;
    return fd;
}

void UsbOperate::closeNode(int fd)
{
    ::close(fd);
    m_openInstance.clear();
}

bool UsbOperate::deviceExists()
{
    return opens(instanceName, UsbDevices::nodeFor(instanceName));
}

void UsbOperate::on_UsbRead_upgrade(QString s)
{
    m_reply = s;
    readIdle = true;
}

void UsbOperate::on_UsbWrite_done()
{
    writeIdle = true;
}

void UsbOperate::resetWake()
{
    eventfd_t drained;
    ::eventfd_read(m_wakeFd, &drained); // non-blocking; nothing pending is fine
}

// Waits for the running worker's completion signal. When the caller stops,
// the worker is told to give up and is still collected, so no thread outlives
// the transfer and the node is closed only after the worker let go of it.
void UsbOperate::collectWorker(bool &idle)
{
    if (pumpUntil([&idle] { return idle; }, -1) == Pump::Stopped) {
        markAbandoned(true);
        ::eventfd_write(m_wakeFd, 1);
        pumpUntil([&idle] { return idle; }, -1, false, false);
    }
}

bool UsbOperate::write(const QString &cmd)
{
    const int fd = openNode();
    if (fd < 0)
        return false;
    resetWake();
    writeIdle = false;
    auto *writer = new UsbWrite(fd, cmd, m_wakeFd);
    auto *thread = new QThread;
    connect(thread, &QThread::started, writer, &UsbWrite::Write);
    connect(writer, &UsbWrite::done, this, &UsbOperate::on_UsbWrite_done);
    connect(writer, &UsbWrite::done, thread, &QThread::quit, Qt::DirectConnection);
    writer->moveToThread(thread);
    thread->start(QThread::InheritPriority);
    collectWorker(writeIdle);
    thread->wait();
    const bool written = writer->written();
    delete writer;
    delete thread;
    closeNode(fd);
    return written;
}

void UsbOperate::read(int timeoutMs)
{
    m_reply.clear();
    const int fd = openNode();
    if (fd < 0)
        return;
    resetWake();
    readIdle = false;
    auto *reader = new UsbRead(fd, timeoutMs, m_wakeFd);
    auto *thread = new QThread;
    connect(thread, &QThread::started, reader, &UsbRead::Read);
    connect(reader, &UsbRead::upgrade, this, &UsbOperate::on_UsbRead_upgrade);
    connect(reader, &UsbRead::upgrade, thread, &QThread::quit, Qt::DirectConnection);
    reader->moveToThread(thread);
    thread->start(QThread::InheritPriority);
    collectWorker(readIdle);
    thread->wait();
    delete reader;
    delete thread;
    closeNode(fd);
    if (abandoned())
        m_reply.clear();
    else if (!m_reply.isEmpty())
        setWaiting(false);
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
    return pollUntil(QStringLiteral("CMD:10;"), QStringLiteral("FREE;"));
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
