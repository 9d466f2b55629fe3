#define FUSE_USE_VERSION 34
#include "usblpnode.h"

#include <QTemporaryDir>

#include <fuse_lowlevel.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr fuse_ino_t kRootIno = FUSE_ROOT_ID;
constexpr fuse_ino_t kNodeIno = 2;
const char *const kNodeName = "lp0";
} // namespace

struct UsblpNode::State
{
    Device device;
    // Recursive: fuse_req_interrupt_func may call back at once, with the lock held.
    mutable std::recursive_mutex lock;
    QTemporaryDir dir;
    fuse_session *session = nullptr;
    bool mounted = false;
    std::thread loop;
    int stopFd = -1;

    bool present = true;
    int generation = 0;               // a plug starts a new one; older handles are dead
    uint64_t nextFh = 1;
    std::map<uint64_t, int> handles;  // open file -> generation
    uint64_t liveFh = 0;              // the one open handle of the present device
    QByteArray driverBuffer;          // the collected transfer, unread part
    std::deque<QByteArray> deviceQueue; // transfers the device holds
    bool stalled = false;
    QByteArray inFlight;              // bytes of a write the device has not taken

    struct Pending
    {
        fuse_req_t req;
        uint64_t fh;
        size_t size;      // read: bytes asked for
        QByteArray bytes; // write: bytes to hand over
    };
    std::optional<Pending> pendingRead;
    std::optional<Pending> pendingWrite;
    std::map<uint64_t, fuse_pollhandle *> waiters; // latest poll handle per file
    Counters counters;

    bool alive(uint64_t fh) const
    {
        const auto it = handles.find(fh);
        return present && it != handles.end() && it->second == generation;
    }

    // The driver collects the next transfer once its buffer is empty, and a
    // blocked read takes it; then every poller is told to look again.
    void settle()
    {
        for (;;) {
            if (liveFh && driverBuffer.isEmpty() && !deviceQueue.empty()) {
                driverBuffer = deviceQueue.front();
                deviceQueue.pop_front();
            }
            if (!pendingRead || driverBuffer.isEmpty())
                break;
            const QByteArray out = take(pendingRead->size);
            fuse_reply_buf(pendingRead->req, out.constData(), size_t(out.size()));
            pendingRead.reset();
        }
        wakePollers();
    }

    QByteArray take(size_t size)
    {
        const QByteArray out = driverBuffer.left(int(size));
        driverBuffer.remove(0, out.size());
        return out;
    }

    void wakePollers()
    {
        for (auto &[fh, ph] : waiters) {
            fuse_lowlevel_notify_poll(ph);
            fuse_pollhandle_destroy(ph);
        }
        waiters.clear();
    }

    void failPending(int error)
    {
        for (std::optional<Pending> *p : {&pendingRead, &pendingWrite}) {
            if (*p)
                fuse_reply_err((*p)->req, error);
            p->reset();
        }
    }

    // Hands bytes to the device, without the lock: the device answers through send().
    void deliver(const QByteArray &bytes)
    {
        if (device && !bytes.isEmpty())
            device(bytes);
    }
};

namespace {

UsblpNode::State *stateOf(fuse_req_t req)
{
    return static_cast<UsblpNode::State *>(fuse_req_userdata(req));
}

struct stat attributesOf(fuse_ino_t ino)
{
    struct stat st = {};
    st.st_ino = ino;
    st.st_uid = ::getuid();
    st.st_gid = ::getgid();
    st.st_mode = ino == kRootIno ? (S_IFDIR | 0755) : (S_IFREG | 0666);
    st.st_nlink = ino == kRootIno ? 2 : 1;
    return st;
}

void onInit(void *, fuse_conn_info *conn)
{
    // Plain buffers: the loop below reads requests into memory.
    conn->want &= ~unsigned(FUSE_CAP_SPLICE_READ | FUSE_CAP_SPLICE_WRITE | FUSE_CAP_SPLICE_MOVE);
}

void onLookup(fuse_req_t req, fuse_ino_t parent, const char *name)
{
    UsblpNode::State *s = stateOf(req);
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    if (parent != kRootIno || std::strcmp(name, kNodeName) != 0 || !s->present) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    fuse_entry_param entry = {};
    entry.ino = kNodeIno;
    entry.attr = attributesOf(kNodeIno);
    fuse_reply_entry(req, &entry); // timeouts 0: every open looks the node up again
}

void onGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info *)
{
    if (ino != kRootIno && ino != kNodeIno) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    const struct stat st = attributesOf(ino);
    fuse_reply_attr(req, &st, 0);
}

void onOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info *fi)
{
    UsblpNode::State *s = stateOf(req);
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    if (ino != kNodeIno || !s->present) {
        fuse_reply_err(req, ENODEV);
        return;
    }
    if (s->liveFh) {
        ++s->counters.busyRefusals;
        fuse_reply_err(req, EBUSY);
        return;
    }
    fi->fh = s->nextFh++;
    fi->direct_io = 1;   // every read and write reaches us with its own size
    fi->nonseekable = 1;
    s->handles[fi->fh] = s->generation;
    s->liveFh = fi->fh;
    s->driverBuffer.clear(); // a fresh read request
    ++s->counters.opens;
    if (fuse_reply_open(req, fi) != 0) { // the opener went away meanwhile
        s->handles.erase(fi->fh);
        s->liveFh = 0;
        return;
    }
    s->settle();
}

// The last close of a handle: the read request is cancelled, with what it collected.
void onRelease(fuse_req_t req, fuse_ino_t, fuse_file_info *fi)
{
    UsblpNode::State *s = stateOf(req);
    {
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        s->handles.erase(fi->fh);
        const auto waiter = s->waiters.find(fi->fh);
        if (waiter != s->waiters.end()) {
            fuse_pollhandle_destroy(waiter->second);
            s->waiters.erase(waiter);
        }
        if (fi->fh == s->liveFh) {
            s->liveFh = 0;
            ++s->counters.closes;
            s->counters.lostBytes += s->driverBuffer.size();
            s->driverBuffer.clear();
            s->inFlight.clear(); // the write request is cancelled too
        }
    }
    fuse_reply_err(req, 0);
}

void onInterrupt(fuse_req_t req, void *data)
{
    auto *s = static_cast<UsblpNode::State *>(data);
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    for (std::optional<UsblpNode::State::Pending> *p : {&s->pendingRead, &s->pendingWrite}) {
        if (*p && (*p)->req == req) {
            fuse_reply_err(req, EINTR);
            p->reset();
        }
    }
}

void onRead(fuse_req_t req, fuse_ino_t, size_t size, off_t, fuse_file_info *fi)
{
    UsblpNode::State *s = stateOf(req);
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    if (!s->alive(fi->fh)) {
        fuse_reply_err(req, ENODEV);
        return;
    }
    s->settle();
    if (!s->driverBuffer.isEmpty()) {
        const QByteArray out = s->take(size);
        fuse_reply_buf(req, out.constData(), size_t(out.size()));
        s->settle();
        return;
    }
    if ((fi->flags & O_NONBLOCK) || s->pendingRead) {
        fuse_reply_err(req, EAGAIN);
        return;
    }
    s->pendingRead = UsblpNode::State::Pending{req, fi->fh, size, {}};
    fuse_req_interrupt_func(req, onInterrupt, s);
}

void onWrite(fuse_req_t req, fuse_ino_t, const char *buf, size_t size, off_t, fuse_file_info *fi)
{
    UsblpNode::State *s = stateOf(req);
    const bool blocking = !(fi->flags & O_NONBLOCK);
    const size_t taken = blocking ? size : std::min<size_t>(size, UsblpNode::kWriteChunk);
    const QByteArray bytes(buf, int(taken));
    {
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        if (!s->alive(fi->fh)) {
            fuse_reply_err(req, ENODEV);
            return;
        }
        if (!s->inFlight.isEmpty() || (blocking && s->stalled) || s->pendingWrite) {
            if (!blocking || s->pendingWrite) {
                fuse_reply_err(req, EAGAIN);
                return;
            }
            s->pendingWrite = UsblpNode::State::Pending{req, fi->fh, taken, bytes};
            fuse_req_interrupt_func(req, onInterrupt, s);
            return;
        }
        if (s->stalled) {
            s->inFlight = bytes;
            fuse_reply_write(req, taken);
            s->wakePollers();
            return;
        }
    }
    s->deliver(bytes);
    fuse_reply_write(req, taken);
}

void onPoll(fuse_req_t req, fuse_ino_t, fuse_file_info *fi, fuse_pollhandle *ph)
{
    UsblpNode::State *s = stateOf(req);
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    unsigned events = 0;
    if (!s->alive(fi->fh)) {
        events = POLLIN | POLLOUT | POLLHUP | POLLERR; // every waiter wakes and meets ENODEV
    } else {
        if (!s->driverBuffer.isEmpty())
            events |= POLLIN | POLLRDNORM;
        if (s->inFlight.isEmpty() && !s->pendingWrite)
            events |= POLLOUT | POLLWRNORM;
    }
    if (ph) {
        fuse_pollhandle *&slot = s->waiters[fi->fh];
        if (slot)
            fuse_pollhandle_destroy(slot);
        slot = ph;
    }
    fuse_reply_poll(req, events);
}

const fuse_lowlevel_ops kOps = [] {
    fuse_lowlevel_ops ops = {};
    ops.init = onInit;
    ops.lookup = onLookup;
    ops.getattr = onGetattr;
    ops.open = onOpen;
    ops.release = onRelease;
    ops.read = onRead;
    ops.write = onWrite;
    ops.poll = onPoll;
    return ops;
}();

void serve(UsblpNode::State *s)
{
    const int fd = fuse_session_fd(s->session);
    fuse_buf buf = {};
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {s->stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            break; // the mount is gone
        const int res = fuse_session_receive_buf(s->session, &buf);
        if (res == -EINTR || res == -EAGAIN || res == -ENOENT)
            continue;
        if (res <= 0)
            break;
        fuse_session_process_buf(s->session, &buf);
    }
    std::free(buf.mem);
}

} // namespace

UsblpNode::UsblpNode(Device device) : d(std::make_unique<State>())
{
    d->device = std::move(device);
}

UsblpNode::~UsblpNode()
{
    if (d->loop.joinable()) {
        const eventfd_t one = 1;
        ::eventfd_write(d->stopFd, one);
        d->loop.join();
    }
    {
        std::lock_guard<std::recursive_mutex> guard(d->lock);
        d->failPending(ENODEV);
        for (auto &[fh, ph] : d->waiters)
            fuse_pollhandle_destroy(ph);
        d->waiters.clear();
    }
    if (d->session) {
        if (d->mounted)
            fuse_session_unmount(d->session);
        fuse_session_destroy(d->session);
    }
    if (d->stopFd >= 0)
        ::close(d->stopFd);
}

bool UsblpNode::start(QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (d->session)
        return fail(QStringLiteral("already started"));
    if (!d->dir.isValid())
        return fail(QStringLiteral("no temporary folder for the node"));
    // auto_unmount: fusermount3 unmounts the node when this process ends, also
    // by a crash, so no dead mount is left behind; without fusermount3 the
    // node is mounted plainly.
    const QByteArray path = d->dir.path().toLocal8Bit();
    for (const char *options : {"fsname=usblp-model,subtype=usblp,auto_unmount", "fsname=usblp-model,subtype=usblp"}) {
        char arg0[] = "usblp-model";
        char arg1[] = "-o";
        QByteArray arg2(options);
        char *argv[] = {arg0, arg1, arg2.data(), nullptr};
        fuse_args args = FUSE_ARGS_INIT(3, argv);
        d->session = fuse_session_new(&args, &kOps, sizeof kOps, d.get());
        fuse_opt_free_args(&args); // the session keeps its own copy of what it parsed
        if (!d->session)
            return fail(QStringLiteral("FUSE session could not be created"));
        if (fuse_session_mount(d->session, path.constData()) == 0)
            break;
        fuse_session_destroy(d->session);
        d->session = nullptr;
    }
    if (!d->session)
        return fail(QStringLiteral("FUSE mount failed on %1 (is /dev/fuse usable?)").arg(d->dir.path()));
    d->mounted = true;
    const int fd = fuse_session_fd(d->session);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    d->stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (d->stopFd < 0)
        return fail(QStringLiteral("no eventfd"));
    d->loop = std::thread(serve, d.get());
    return true;
}

QString UsblpNode::path() const
{
    return d->session ? d->dir.filePath(QString::fromLatin1(kNodeName)) : QString();
}

void UsblpNode::send(const QByteArray &transfer)
{
    std::lock_guard<std::recursive_mutex> guard(d->lock);
    if (!d->present)
        return;
    d->deviceQueue.push_back(transfer);
    d->settle();
}

void UsblpNode::unplug()
{
    std::lock_guard<std::recursive_mutex> guard(d->lock);
    if (!d->present)
        return;
    d->present = false;
    ++d->generation;
    d->liveFh = 0;
    d->driverBuffer.clear();
    d->deviceQueue.clear();
    d->inFlight.clear();
    d->failPending(ENODEV);
    d->wakePollers();
}

void UsblpNode::plug()
{
    std::lock_guard<std::recursive_mutex> guard(d->lock);
    d->present = true;
}

void UsblpNode::setStalled(bool stalled)
{
    QByteArray taken;
    std::optional<State::Pending> write;
    {
        std::lock_guard<std::recursive_mutex> guard(d->lock);
        d->stalled = stalled;
        if (stalled)
            return;
        taken = d->inFlight;
        d->inFlight.clear();
        write = d->pendingWrite;
        d->pendingWrite.reset();
    }
    d->deliver(taken);
    if (write) {
        d->deliver(write->bytes);
        fuse_reply_write(write->req, size_t(write->bytes.size()));
    }
    std::lock_guard<std::recursive_mutex> guard(d->lock);
    d->wakePollers();
}

UsblpNode::Counters UsblpNode::counters() const
{
    std::lock_guard<std::recursive_mutex> guard(d->lock);
    return d->counters;
}

bool UsblpNode::isOpen() const
{
    std::lock_guard<std::recursive_mutex> guard(d->lock);
    return d->liveFh != 0;
}
