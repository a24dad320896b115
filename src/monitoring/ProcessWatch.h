// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Detection.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// What runs for a moment between two monitoring scans. Once a second the
// watch lists the process ids in /proc and reads only the processes that
// appeared since its last look, judging each by the scan's own rules; those
// the rules report and that are gone by the next scan are handed to it with
// the time they were seen, so nothing that runs for more than a second
// escapes. Its own thread does the looking; everything else may be called
// from any thread.
class ProcessWatch
{
public:
    struct Options
    {
        QString procRoot = QStringLiteral("/proc");
        QString homeFolder{};
        // Zero: no thread; the owner calls look() itself.
        std::chrono::milliseconds interval{1000};
    };

    explicit ProcessWatch(Options options);
    ~ProcessWatch();

    ProcessWatch(const ProcessWatch &) = delete;
    ProcessWatch &operator=(const ProcessWatch &) = delete;

    // One look at the process ids, reading those not seen at the last.
    void look();

    // The findings of the processes seen since the last call whose process
    // has ended, in the order they were seen: each line says when it was
    // seen, and the entry's time is that moment.
    QList<Detection> takeEnded();

private:
    struct Sighting
    {
        QString line;
        QDateTime seen;
    };

    QSet<qint64> listPids() const;
    // Moves the sightings of processes no longer in pids to m_ended; the
    // caller holds m_mutex.
    void endSightingsMissingFrom(const QSet<qint64> &pids);

    const Options m_options;
    std::mutex m_mutex;
    QSet<qint64> m_known;
    QSet<qint64> m_newcomers; // first seen at the last look
    QHash<qint64, Sighting> m_running;
    QList<Sighting> m_ended;

    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
