#pragma once

#include <QMutex>
#include <QQueue>
#include <QSemaphore>
#include <QStringList>

#include <atomic>
#include <memory>

// A scan pass whose results a test hands out in advance. A result may come with
// a gate: the pass then blocks its worker thread until the test opens the gate,
// which keeps that scan in flight for as long as the test needs.
class ScriptedScanPass
{
public:
    struct Gate
    {
        QSemaphore semaphore;
        void open() { semaphore.release(); }
    };

    void enqueue(QStringList lines, std::shared_ptr<Gate> gate = {})
    {
        QMutexLocker locker(&m_mutex);
        m_results.enqueue({std::move(lines), std::move(gate)});
    }

    // What the window runs on a worker thread. Without a queued result it finds nothing.
    QStringList run()
    {
        m_started.fetch_add(1);
        Result result;
        {
            QMutexLocker locker(&m_mutex);
            if (!m_results.isEmpty())
                result = m_results.dequeue();
        }
        if (result.gate)
            result.gate->semaphore.acquire();
        m_finished.fetch_add(1);
        return result.lines;
    }

    int started() const { return m_started.load(); }
    int finished() const { return m_finished.load(); }

private:
    struct Result
    {
        QStringList lines;
        std::shared_ptr<Gate> gate;
    };

    QMutex m_mutex;
    QQueue<Result> m_results;
    std::atomic<int> m_started = 0;
    std::atomic<int> m_finished = 0;
};
