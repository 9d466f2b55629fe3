#pragma once
#include "cutterlink.h"
#include "usbio.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The cutter over USB (usblp). The selected cutter's node is opened at its
// first use and held open until the cutter is unplugged (udev no longer lists
// it under that node, or a transfer fails with ENODEV/EIO), another cutter is
// selected, or the link goes. The next use after a failure looks the node up
// again by the interface name (the lpN number may have changed) and opens it.
// While it is held no other program can open the cutter (usblp allows one
// open at a time); an open refused with EBUSY is reported (cutterInUse).
//
// Every command is written after whatever the driver already holds unread has
// been read and dropped (logged as "discarded stale reply: ..."), so a reply
// read after a command always comes from the cutter after that command.
// Transfers never block: a wait is a poll() on the node (and the link's
// Wakeup). Everything but listDevices runs on the thread that owns the link.
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

    // Instance names of the attached cutters that can be opened now: the
    // held one, and those whose node opens or is held by another program.
    // Any thread: the held node is neither opened nor let go (the link's own
    // use finds out when its cutter is gone).
    QStringList listDevices() const;
    // Selects the cutter by instance name; another one than before lets the held node go.
    void setDevice(const QString &instance);
    QString device() const { return instanceName; }
    // The selected cutter is attached and its node is held (opened now if it was not).
    bool deviceExists();
    // The selected cutter's node is held open now.
    bool holdsNode() const { return m_node.isOpen(); }
    // The last open of the node was refused: another program holds the cutter.
    bool inUseElsewhere() const { return !m_node.isOpen() && m_lastOpen == UsbNode::Open::InUse; }

    bool sendCmd(const QString &cmd) override;
    // One read; the text is also kept for reply(). No device: the empty text.
    QString readReply(int timeoutMs = -1) override;
    QString reply() const { return m_reply; }
    WaitOutcome waitFree() override;
    // Repeats (500 ms pause, read one reply) until it equals expected; nothing is sent.
    WaitOutcome waitReply(const QString &expected);
    bool isUsable() override { return deviceExists(); }

signals:
    // An open found the cutter held by another program (EBUSY).
    void cutterInUse();

private:
    bool acquire();
    void release();
    bool write(const QString &cmd);
    void read(int timeoutMs);
    void dropStaleReplies();
    WaitOutcome pollUntil(const QString &send, const QString &expected);

    QString instanceName;
    UsbNode m_node;
    QString m_heldPath; // the node held open, for listDevices on another thread (under the opening lock)
    UsbNode::Open m_lastOpen = UsbNode::Open::Ok;
    QString m_reply;
};
