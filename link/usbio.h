#pragma once
#include <QByteArray>

// Single transfers on an open device node (usblp /dev/usb/lpN or a pty that
// stands in for it). Both give up when wakeFd (an eventfd, -1 for none)
// becomes readable, so a waiting caller can abandon them.
namespace UsbIo {

constexpr int kMaxReply = 64; // one reply is at most one 64-byte transfer

// Writes all bytes, looping on partial writes, EINTR and EAGAIN, and returns
// once the device has taken them. Works on blocking and non-blocking fds; a
// non-blocking one lets an abandon end a transfer the device does not take.
// false when the device went away, an error occurred or it was abandoned.
bool writeAll(int fd, const QByteArray &bytes, int wakeFd);

// Reads one transfer of at most 64 bytes, waiting at most timeoutMs (< 0:
// without limit). Returns the bytes up to the first NUL; empty on time-out,
// abandon, or when the device is gone (hang-up, 0-byte read, ENODEV/EIO),
// the last without waiting.
QByteArray readOnce(int fd, int timeoutMs, int wakeFd);

} // namespace UsbIo
