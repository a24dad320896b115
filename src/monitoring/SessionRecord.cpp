// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionRecord.h"

using namespace std::chrono;

void SessionRecord::start(const ScanContext &context)
{
    // Nothing of an earlier run stays but the clock.
    *this = SessionRecord(std::move(m_clock));
    m_running = true;
    m_start = m_lastRun = m_clock();
    m_contextAtStart = m_context = context;
    m_environmentsSeen = {context.environment};
}

void SessionRecord::stop()
{
    if (!m_running)
        return;
    loopRan();
    m_running = false;
    m_stopped = m_lastRun.wall;
    m_stoppedBoottime = m_lastRun.boottime;
}

std::optional<SessionGap> SessionRecord::loopRan()
{
    if (!m_running)
        return std::nullopt;
    const ClockReading now = m_clock();
    const ClockReading last = std::exchange(m_lastRun, now);
    const nanoseconds elapsed = now.boottime - last.boottime;
    if (elapsed <= gapThreshold)
        return std::nullopt;
    // Boot time runs on through a suspend, monotonic time does not; reading
    // both costs a little, hence the margin.
    const bool suspended = elapsed - (now.monotonic - last.monotonic) > 1s;
    m_gaps.append({last.wall, duration_cast<milliseconds>(elapsed),
                   suspended ? SessionGap::Cause::Suspended : SessionGap::Cause::Paused});
    return m_gaps.last();
}

void SessionRecord::count(Scan scan)
{
    if (!m_running)
        return;
    switch (scan) {
    case Scan::Tick:
        ++m_ticks;
        break;
    case Scan::Manual:
        ++m_manualScans;
        break;
    case Scan::SkippedTick:
        ++m_skippedTicks;
        break;
    }
}

bool SessionRecord::scanApplied(const QStringList &lines, const ScanContext &context)
{
    if (!m_running)
        return false;
    const QDateTime now = m_clock().wall;
    for (const QString &line : lines) {
        if (const auto found = m_lineIndex.constFind(line); found != m_lineIndex.cend()) {
            SeenLine &seen = m_lines[*found];
            seen.lastSeen = now;
            ++seen.scans;
        } else if (m_lines.size() < maxLines) {
            m_lineIndex.insert(line, m_lines.size());
            m_lines.append({line, now, now, 1});
        } else {
            ++m_linesLeftOut;
        }
    }
    if (context == m_context)
        return false;
    const bool environmentChanged = context.environment != m_context.environment;
    m_context = context;
    if (m_changes.size() < maxChanges)
        m_changes.append({now, context});
    else
        ++m_changesLeftOut;
    if (!environmentChanged || m_environmentsSeen.size() >= maxChanges ||
        m_environmentsSeen.contains(context.environment))
        return false;
    m_environmentsSeen.append(context.environment);
    return true;
}

milliseconds SessionRecord::duration() const
{
    const nanoseconds end = m_running ? m_clock().boottime : m_stoppedBoottime;
    return duration_cast<milliseconds>(end - m_start.boottime);
}

int SessionRecord::missedInGaps() const
{
    int missed = 0;
    for (const SessionGap &gap : m_gaps)
        missed += int(gap.length / scanInterval);
    return missed;
}
