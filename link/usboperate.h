#pragma once
#include "cutterlink.h"

#include <QObject>
#include <QString>
#include <QStringList>

// One write on its own short-lived thread.
class UsbWrite : public QObject
{
    Q_OBJECT
public:
    UsbWrite(int fd, const QString &cmd, int wakeFd) : m_fd(fd), m_cmd(cmd), m_wakeFd(wakeFd) {}
    bool written() const { return m_written; }

signals:
    void done();

public slots:
    void Write();

private:
    int m_fd;
    QString m_cmd;
    int m_wakeFd;
    bool m_written = false;
};

// One read (at most 64 bytes) on its own short-lived thread; timeout in ms, -1 = forever.
class UsbRead : public QObject
{
    Q_OBJECT
public:
    UsbRead(int fd, int timeoutMs, int wakeFd) : m_fd(fd), m_timeoutMs(timeoutMs), m_wakeFd(wakeFd) {}

signals:
    void upgrade(QString readStr);

public slots:
    void Read();
    void on_read_timeout();

private:
    int m_fd;
    int m_timeoutMs;
    int m_wakeFd;
};

// The cutter over USB (usblp). The link has no open state: every write and
// every read opens the selected cutter's node (O_RDWR|O_CLOEXEC|O_NOCTTY),
// runs one transfer on a worker thread while the GUI thread handles events,
// and closes it. An unplugged cutter simply fails the next open.
//
// Differences from the network link: readReply stores the text for reply();
// a read of a vanished device ends at once with the empty reply; waitFree and
// waitReply return NoCutter at once when the device is not there (before
// each poll), so a job never hangs on a cutter that was unplugged.
class UsbOperate : public QObject, public CutterLink
{
    Q_OBJECT
public:
    explicit UsbOperate(QObject *parent = nullptr);
    ~UsbOperate() override;

    // Instance names of the attached cutters whose node opens now.
    QStringList listDevices();
    // Selects the cutter by instance name; its node is looked up at each use.
    void setDevice(const QString &instance);
    QString device() const { return instanceName; }
    // The selected cutter is attached and its node opens (or is open for a
    // transfer of this link right now: usblp allows one open at a time).
    bool deviceExists();

    bool sendCmd(const QString &cmd) override;
    // One read; the text is also kept for reply(). No device: the empty text.
    QString readReply(int timeoutMs = -1) override;
    QString reply() const { return m_reply; }
    WaitOutcome waitFree() override;
    // Repeats (500 ms pause, read one reply) until it equals expected; nothing is sent.
    WaitOutcome waitReply(const QString &expected);
    bool isUsable() override { return deviceExists(); }

public slots:
    void on_UsbRead_upgrade(QString s);
    void on_UsbWrite_done();

private:
    bool opens(const QString &instance, const QString &node) const;
    int openNode();
    void closeNode(int fd);
    bool write(const QString &cmd);
    void read(int timeoutMs);
    WaitOutcome pollUntil(const QString &send, const QString &expected);
    void collectWorker(bool &idle);
    void resetWake();

    QString instanceName;
    QString m_openInstance; // cutter whose node a transfer holds open now
    QString m_reply;
    bool readIdle = true;
    bool writeIdle = true;
    int m_wakeFd = -1; // eventfd that tells a worker to give up
};
