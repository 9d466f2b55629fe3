#pragma once
#include <QImage>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Runs recognition of camera frames on a thread of its own, so the GUI thread
// never waits for it. At most one frame waits: the newest one submitted; a
// frame submitted while another waits replaces it, so the searched frames
// keep up with the stream however long a search takes.
template <typename Result>
class FrameRecogniser
{
public:
    using Recognise = std::function<Result(const QImage &frame)>;
    // Called on the recogniser's thread with each result and the frame it belongs to.
    using Found = std::function<void(quint64 serial, const QImage &frame, const Result &result)>;

    FrameRecogniser(Recognise recognise, Found found)
        : m_recognise(std::move(recognise)), m_found(std::move(found)), m_thread([this] { run(); })
    {
    }
    // Lets the search under way finish (its result is still reported), drops
    // the waiting frame and ends the thread.
    ~FrameRecogniser()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
            m_waiting.reset();
        }
        m_wake.notify_one();
        m_thread.join();
    }
    FrameRecogniser(const FrameRecogniser &) = delete;
    FrameRecogniser &operator=(const FrameRecogniser &) = delete;

    void submit(const QImage &frame, quint64 serial)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_waiting = Waiting{frame, serial};
        }
        m_wake.notify_one();
    }

private:
    struct Waiting
    {
        QImage frame;
        quint64 serial;
    };

    void run()
    {
        for (;;) {
            Waiting next;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || m_waiting.has_value(); });
                if (m_stop)
                    return;
                next = std::move(*m_waiting);
                m_waiting.reset();
            }
            m_found(next.serial, next.frame, m_recognise(next.frame));
        }
    }

    Recognise m_recognise;
    Found m_found;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Waiting> m_waiting;
    bool m_stop = false;
    std::thread m_thread; // last: it starts once the rest is ready
};
