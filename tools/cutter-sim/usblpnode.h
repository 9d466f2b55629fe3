#pragma once
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// The cutter's USB printer interface as the kernel's usblp driver presents it:
// a device node (a FUSE file here, so every open, read, write, poll and close
// of the program reaches this model synchronously) with the driver's rules.
//
// What it models, as usblp does:
// - One open at a time: a second open fails with EBUSY.
// - Opening submits a read request: the driver collects one bulk-in transfer
//   from the device into its buffer; read() takes at most what was asked for,
//   the rest stays for the next read; once the buffer is empty the next
//   transfer is collected. A transfer the device sends while the node is
//   closed stays in the device until the next open collects it.
// - Closing cancels the read request: whatever of the collected transfer the
//   program had not read is lost.
// - Non-blocking reads with nothing collected fail with EAGAIN; blocking ones
//   wait. poll() reports POLLIN with data collected, POLLOUT while no write is
//   in flight.
// - A write hands at most 8192 bytes to the device (a longer write returns
//   short). The device takes them at once unless stalled: then the write is in
//   flight, poll() shows no POLLOUT and further writes fail with EAGAIN.
// - Unplugged: every handle opened before fails with ENODEV (poll() reports
//   POLLHUP), new opens fail with ENODEV until the device is plugged again;
//   a plugged device starts with nothing queued.
//
// The device answers "at once": the bytes of a write reach the device
// callback before write() returns, and every transfer it sends from there is
// collected while that handle is still open.
class UsblpNode
{
public:
    static constexpr int kWriteChunk = 8192;

    // Called on the node's own thread with the bytes of each write the device
    // takes; the device answers by calling send() from there (or later).
    using Device = std::function<void(const QByteArray &bytes)>;

    explicit UsblpNode(Device device = nullptr);
    ~UsblpNode();
    UsblpNode(const UsblpNode &) = delete;
    UsblpNode &operator=(const UsblpNode &) = delete;

    // Mounts the node (FUSE, /dev/fuse); false with the reason in *error.
    bool start(QString *error = nullptr);
    // The node's path; empty before start().
    QString path() const;

    // The device sends one bulk-in transfer.
    void send(const QByteArray &transfer);
    void unplug();
    void plug();
    void setStalled(bool stalled);

    struct Counters
    {
        int opens = 0;          // opens granted
        int busyRefusals = 0;   // opens refused with EBUSY
        int closes = 0;
        qint64 lostBytes = 0;   // collected but unread when the node was closed
    };
    Counters counters() const;
    bool isOpen() const;

    struct State; // the FUSE callbacks' view

private:
    std::unique_ptr<State> d;
};
