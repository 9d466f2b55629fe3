#pragma once
#include <QByteArray>
#include <QString>

// The cutter's device node (/dev/usb/lpN, bound by the kernel's usblp
// driver) held open, non-blocking. Only system calls here: waiting is the
// caller's business (the fd can be watched for readiness).
//
// usblp submits one read request while the node is open and cancels it at
// close, losing what it had collected and the program had not read: so the
// node stays open between transfers, and whatever is found unread before a
// command belongs to an earlier one.
class UsbNode
{
public:
    static constexpr int kMaxReply = 64; // one reply is one transfer of at most 64 bytes

    enum class Open { Ok, InUse, Missing, Refused }; // InUse: EBUSY, another program holds it
    enum class Io { Done, Again, Gone };             // Gone: the device vanished (ENODEV, EIO...)

    UsbNode() = default;
    ~UsbNode() { close(); }
    UsbNode(const UsbNode &) = delete;
    UsbNode &operator=(const UsbNode &) = delete;

    Open open(const QString &path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    QString path() const { return m_path; }

    // One read of at most 64 bytes, without waiting. Done: `bytes` holds what
    // the read returned up to the first NUL (a 0-byte read gives Again).
    Io read(QByteArray &bytes);
    // One write of as much as the driver takes now; `written` says how much.
    Io write(const char *data, qsizetype size, qsizetype &written);

    // Opens and closes the node at once: could it be opened (InUse counts as attached)?
    static Open probe(const QString &path);

private:
    static Open openResult(int error);

    int m_fd = -1;
    QString m_path;
};
