// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessWatch.h"

#include "detection/processes/ProcessNamesReader.h"
#include "detection/ScanPass.h"
#include "detection/proc/ProcessDirectory.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A name of digits only is a process's folder.
qint64 pidOf(const char *name)
{
    qint64 pid = 0;
    for (const char *digit = name; *digit; ++digit) {
        if (*digit < '0' || *digit > '9' || pid > 1'000'000'000)
            return 0;
        pid = pid * 10 + (*digit - '0');
    }
    return pid;
}

QString endedLine(const QString &line, const QDateTime &seen)
{
    return line + QStringLiteral(" (seen at ") + seen.toString(QStringLiteral("HH:mm:ss")) +
           QStringLiteral(", ended before the scan)");
}

} // namespace

ProcessWatch::ProcessWatch(Options options) : m_options(std::move(options))
{
    if (m_options.interval.count() <= 0)
        return;
    m_thread = std::thread([this] {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            lock.unlock();
            look();
            lock.lock();
            m_wake.wait_for(lock, m_options.interval, [this] { return m_stopping; });
        }
    });
}

ProcessWatch::~ProcessWatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

QSet<qint64> ProcessWatch::listPids() const
{
    QSet<qint64> pids;
    DIR *listing = ::opendir(QFile::encodeName(m_options.procRoot).constData());
    if (!listing)
        return pids;
    while (const dirent *entry = ::readdir(listing)) {
        if (const qint64 pid = pidOf(entry->d_name))
            pids.insert(pid);
    }
    ::closedir(listing);
    return pids;
}

void ProcessWatch::look()
{
    const QSet<qint64> pids = listPids();
    QSet<qint64> known;
    QSet<qint64> recheck;
    QHash<qint64, QDateTime> firstSeenAt;
    {
        std::lock_guard lock(m_mutex);
        known = std::exchange(m_known, pids);
        recheck = std::exchange(m_newcomers, {});
        for (qint64 pid : recheck) {
            if (const auto running = m_running.constFind(pid); running != m_running.constEnd())
                firstSeenAt.insert(pid, running->seen);
        }
        endSightingsMissingFrom(pids);
    }

    // Only the newcomers are read, outside the lock: a scan may take its
    // findings meanwhile. A newcomer is read again at the next look, since
    // the first may have caught it between fork and exec, still its parent.
    QList<ObservedProcess> newcomers;
    QSet<qint64> firstSeen;
    ProcessNamesReader reader(m_options.homeFolder, matchesDetectionRules);
    const int root = ::open(QFile::encodeName(m_options.procRoot).constData(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return;
    for (qint64 pid : pids) {
        if (known.contains(pid) && !recheck.contains(pid))
            continue;
        if (!recheck.contains(pid))
            firstSeen.insert(pid);
        ProcessDirectory directory(root, QByteArray::number(pid).constData(), pid);
        if (std::optional<ObservedProcess> process = reader.read(directory))
            newcomers.append(std::move(*process));
    }
    ::close(root);
    const QDateTime now = QDateTime::currentDateTime();
    std::lock_guard lock(m_mutex);
    // A process its second reading clears was only its parent at the first.
    for (qint64 pid : recheck)
        m_running.remove(pid);
    for (const Finding &finding : processFindings(newcomers)) {
        for (qint64 pid : finding.pids) {
            // The second reading is the process's own program: its line
            // replaces the first's, seen when the process was first seen.
            m_running.insert(pid, {finding.line, firstSeenAt.value(pid, now)});
        }
    }
    m_newcomers = firstSeen;
}

void ProcessWatch::endSightingsMissingFrom(const QSet<qint64> &pids)
{
    for (auto running = m_running.begin(); running != m_running.end();) {
        if (pids.contains(running.key())) {
            ++running;
            continue;
        }
        m_ended.append(*running);
        running = m_running.erase(running);
    }
}

QList<Detection> ProcessWatch::takeEnded()
{
    // A process may have ended since the last look.
    const QSet<qint64> pids = listPids();
    std::lock_guard lock(m_mutex);
    endSightingsMissingFrom(pids);
    // Processes that made one line together ended as one.
    QList<Detection> ended;
    QSet<QString> lines;
    for (const Sighting &sighting : std::as_const(m_ended)) {
        QString line = endedLine(sighting.line, sighting.seen);
        if (!lines.contains(line)) {
            lines.insert(line);
            ended.append({std::move(line), sighting.seen});
        }
    }
    m_ended.clear();
    return ended;
}
