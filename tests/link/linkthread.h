#pragma once
// A link on a thread of its own, as the cutter session keeps it, while the
// test's thread serves the simulated cutter.
#include <QCoreApplication>
#include <QThread>

#include <future>
#include <memory>

template<class Link>
class LinkThread
{
public:
    template<class... Args>
    explicit LinkThread(Args... args)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([&] { m_link = std::make_unique<Link>(nullptr, args...); });
    }
    ~LinkThread()
    {
        run([this] { m_link.reset(); });
        m_thread.quit();
        m_thread.wait();
    }
    Link &link() { return *m_link; } // for calls that are safe from any thread

    // Calls f(link) on the link's thread; this thread handles its events meanwhile.
    template<class F>
    auto call(F f) -> decltype(f(std::declval<Link &>()))
    {
        return run([&] { return f(*m_link); });
    }

private:
    template<class F>
    auto run(F f) -> decltype(f())
    {
        std::packaged_task<decltype(f())()> task(f);
        auto result = task.get_future();
        QMetaObject::invokeMethod(&m_context, [&task] { task(); }, Qt::QueuedConnection);
        while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return result.get();
    }

    QThread m_thread;
    QObject m_context;
    std::unique_ptr<Link> m_link;
};
