// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SessionClock.h"
#include "detection/ScanContext.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QStringList>

#include <chrono>
#include <optional>

// A stretch in which the monitoring loop did not run.
struct SessionGap
{
    enum class Cause { Suspended, Paused };

    QDateTime from; // when the loop last ran before it
    std::chrono::milliseconds length{};
    Cause cause = Cause::Paused;
};

// One distinct detection line of a monitoring run.
struct SeenLine
{
    QString line;
    QDateTime firstSeen, lastSeen;
    int scans = 0; // the scans that found it
};

// The context a run was in from a moment on.
struct ContextChange
{
    QDateTime at;
    ScanContext context;
};

// What one monitoring run did, for the interviewer to read what happened: when
// it ran, how many scans it made against how many the 10 s loop should have
// made, every gap in which the loop did not run and why, each distinct line
// found, and the context it ran in with each change. Lives on the GUI thread.
class SessionRecord
{
public:
    static constexpr std::chrono::seconds scanInterval{10};
    // A loop that did not run for longer than this left a gap.
    static constexpr std::chrono::seconds gapThreshold{25};
    // What a hostile machine can make grow is kept to this many entries.
    static constexpr qsizetype maxLines = 1000;
    static constexpr qsizetype maxChanges = 200;

    explicit SessionRecord(SessionClock clock = readClocks) : m_clock(std::move(clock)) {}

    // Begins a new run, now, in this context.
    void start(const ScanContext &context);
    // Ends the run now, noting a gap that has not been noted yet.
    void stop();
    bool isRunning() const { return m_running; }

    // The loop runs now: a gap since it last ran is noted, and returned.
    std::optional<SessionGap> loopRan();
    enum class Scan { Tick, Manual, SkippedTick };
    void count(Scan scan);
    // A scan's lines and context, as they arrive now. True when the
    // environment changed to one not seen before in this run: a flapping
    // monitor or program is told once, not at every scan.
    bool scanApplied(const QStringList &lines, const ScanContext &context);

    QDateTime now() const { return m_clock().wall; }
    QDateTime started() const { return m_start.wall; }
    std::optional<QDateTime> stopped() const { return m_stopped; }
    // Until the stop or now, suspended time included.
    std::chrono::milliseconds duration() const;
    int scansExpected() const { return int(duration() / scanInterval); }
    int ticks() const { return m_ticks; }
    int manualScans() const { return m_manualScans; }
    int skippedTicks() const { return m_skippedTicks; }
    // The ticks that fell into the gaps.
    int missedInGaps() const;
    const QList<SessionGap> &gaps() const { return m_gaps; }
    const QList<SeenLine> &lines() const { return m_lines; }
    qsizetype linesLeftOut() const { return m_linesLeftOut; }
    const ScanContext &contextAtStart() const { return m_contextAtStart; }
    const QList<ContextChange> &changes() const { return m_changes; }
    qsizetype changesLeftOut() const { return m_changesLeftOut; }

private:
    SessionClock m_clock;
    bool m_running = false;
    ClockReading m_start, m_lastRun;
    std::optional<QDateTime> m_stopped;
    std::chrono::nanoseconds m_stoppedBoottime{};
    int m_ticks = 0, m_manualScans = 0, m_skippedTicks = 0;
    QList<SessionGap> m_gaps;
    QList<SeenLine> m_lines;
    QHash<QString, qsizetype> m_lineIndex;
    qsizetype m_linesLeftOut = 0;
    ScanContext m_contextAtStart, m_context;
    QList<QStringList> m_environmentsSeen;
    QList<ContextChange> m_changes;
    qsizetype m_changesLeftOut = 0;
};
