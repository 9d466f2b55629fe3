#pragma once
// How long the thread's event loop keeps a posted event waiting: every
// `everyMs` a zero-delay timer is posted, and the time until it runs is
// recorded, in ms. That is what a click arriving then would wait.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

class EventProbe
{
public:
    explicit EventProbe(int everyMs)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QElapsedTimer posted;
            posted.start();
            QTimer::singleShot(0, &m_context, [this, posted] { lateMs.push_back(posted.nsecsElapsed() / 1e6); });
        });
        m_timer.start(everyMs);
    }
    void stop() { m_timer.stop(); }

    std::vector<double> lateMs;

private:
    QTimer m_timer;
    QObject m_context; // a probe still posted when this goes is dropped with it
};
