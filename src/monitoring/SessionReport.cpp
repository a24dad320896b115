// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionReport.h"

#include "MonitoringNotices.h"

#include <QJsonArray>

using namespace std::chrono;
using MonitoringNotices::escapeHtml;

namespace {

// "2026-12-07 18:53:12 (UTC+01:00)"
QString momentWithOffset(const QDateTime &moment)
{
    const int offset = moment.offsetFromUtc();
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" (UTC%1%2:%3)")
               .arg(QLatin1Char(offset < 0 ? '-' : '+'))
               .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
               .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
}

// The time of day, with the date when it is not the run's first day.
QString timeInRun(const QDateTime &moment, const QDateTime &started)
{
    return moment.toString(moment.date() == started.date() ? QStringLiteral("HH:mm:ss")
                                                           : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// "1 h 2 min 5 s", "40 s"
QString durationText(milliseconds length)
{
    const qint64 total = duration_cast<seconds>(length).count();
    QStringList parts;
    if (total >= 3600)
        parts.append(QStringLiteral("%1 h").arg(total / 3600));
    if (total >= 60)
        parts.append(QStringLiteral("%1 min").arg(total % 3600 / 60));
    parts.append(QStringLiteral("%1 s").arg(total % 60));
    return parts.join(u' ');
}

QString counted(qint64 count, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

QString causeText(SessionGap::Cause cause)
{
    return cause == SessionGap::Cause::Suspended
               ? QStringLiteral("the machine was suspended")
               : QStringLiteral("Nimbrel was paused or starved of CPU");
}

// What was added to and taken from a list of context lines.
QStringList differences(const QStringList &before, const QStringList &after)
{
    QStringList changed;
    for (const QString &line : after)
        if (!before.contains(line))
            changed.append(QStringLiteral("+ ") + line);
    for (const QString &line : before)
        if (!after.contains(line))
            changed.append(QStringLiteral("− ") + line);
    return changed;
}

// The report as headed lists, written once for both forms.
struct Section
{
    QString heading;
    QStringList items;
};

QList<Section> contextSections(const ScanContext &context, const QString &when)
{
    const auto orNothing = [](const QStringList &lines) {
        return lines.isEmpty() ? QStringList{QStringLiteral("nothing reported")} : lines;
    };
    return {{QStringLiteral("Environment ") + when, orNothing(context.environment)},
            {QStringLiteral("What the scans could not see ") + when, orNothing(context.coverage)}};
}

QList<Section> reportSections(const SessionRecord &record)
{
    const QDateTime started = record.started();
    QStringList times{QStringLiteral("Started: ") + momentWithOffset(started)};
    times.append(record.stopped()
                     ? QStringLiteral("Stopped: ") + momentWithOffset(*record.stopped())
                     : QStringLiteral("Still monitoring at ") + momentWithOffset(record.now()));
    times.append(QStringLiteral("Duration: ") + durationText(record.duration()));
    QString scans = QStringLiteral("Scans: %1 on the 10 s loop of %2 expected at one every 10 s")
                        .arg(record.ticks())
                        .arg(record.scansExpected());
    if (record.missedInGaps() > 0)
        scans += QStringLiteral("; about %1 fell into the gaps").arg(record.missedInGaps());
    if (record.skippedTicks() > 0)
        scans += QStringLiteral("; %1 while the previous scan still ran")
                     .arg(counted(record.skippedTicks(), QStringLiteral("tick skipped"),
                                  QStringLiteral("ticks skipped")));
    if (record.manualScans() > 0)
        scans += QStringLiteral("; %1 besides")
                     .arg(counted(record.manualScans(), QStringLiteral("manual scan"),
                                  QStringLiteral("manual scans")));
    times.append(scans);

    QStringList gaps;
    for (const SessionGap &gap : record.gaps())
        gaps.append(SessionReport::gapText(gap));
    QStringList found;
    for (const SeenLine &seen : record.lines())
        found.append(
            QStringLiteral("%1 — first seen %2, last seen %3, in %4")
                .arg(seen.line, timeInRun(seen.firstSeen, started),
                     timeInRun(seen.lastSeen, started),
                     counted(seen.scans, QStringLiteral("scan"), QStringLiteral("scans"))));
    if (record.linesLeftOut() > 0)
        found.append(QStringLiteral("and %1 more lines, not kept").arg(record.linesLeftOut()));
    QStringList changes;
    ScanContext before = record.contextAtStart();
    for (const ContextChange &change : record.changes()) {
        for (const auto &[what, was, is] :
             {std::tuple{QStringLiteral("environment"), before.environment,
                         change.context.environment},
              std::tuple{QStringLiteral("not seen"), before.coverage, change.context.coverage}}) {
            const QStringList changed = differences(was, is);
            if (!changed.isEmpty())
                changes.append(QStringLiteral("%1, %2: %3")
                                   .arg(timeInRun(change.at, started), what,
                                        changed.join(QStringLiteral("; "))));
        }
        before = change.context;
    }
    if (record.changesLeftOut() > 0)
        changes.append(
            QStringLiteral("and %1 more changes, not kept").arg(record.changesLeftOut()));
    const auto orNone = [](const QStringList &items) {
        return items.isEmpty() ? QStringList{QStringLiteral("none")} : items;
    };

    return QList<Section>{{QString(), times},
                          {QStringLiteral("Gaps, where the 10 s loop did not run for more than "
                                          "25 s"),
                           orNone(gaps)},
                          {QStringLiteral("Lines found, each once"), orNone(found)}} +
           contextSections(record.contextAtStart(), QStringLiteral("at the start")) +
           QList<Section>{{QStringLiteral("Changes during the session"), orNone(changes)}};
}

EmailBody render(const QString &title, const QList<Section> &sections)
{
    QString html = QStringLiteral("\n<div style=\"font-family: Arial, sans-serif; max-width: "
                                  "600px; margin: 0 auto;\">\n    <h3 style=\"color: #333;\">") +
                   escapeHtml(title) + QStringLiteral("</h3>\n");
    QString text = QStringLiteral("\n") + title + QStringLiteral("\n");
    for (const Section &section : sections) {
        text += QStringLiteral("\n");
        if (!section.heading.isEmpty()) {
            html += QStringLiteral("    <p style=\"margin-bottom: 4px;\"><strong>") +
                    escapeHtml(section.heading) + QStringLiteral("</strong></p>\n");
            text += section.heading + QStringLiteral(":\n");
        }
        html += QStringLiteral("    <ul style=\"margin-top: 0;\">\n");
        for (const QString &item : section.items) {
            html += QStringLiteral("        <li>") + escapeHtml(item) + QStringLiteral("</li>\n");
            text += (section.heading.isEmpty() ? QString() : QStringLiteral("- ")) + item +
                    QStringLiteral("\n");
        }
        html += QStringLiteral("    </ul>\n");
    }
    html += QStringLiteral("</div>");
    return {html, text};
}

QJsonObject contextJson(const ScanContext &context)
{
    return {{QStringLiteral("environment"), QJsonArray::fromStringList(context.environment)},
            {QStringLiteral("coverage"), QJsonArray::fromStringList(context.coverage)}};
}

} // namespace

namespace SessionReport {

QString summary(const SessionRecord &record)
{
    const qint64 minutes = duration_cast<std::chrono::minutes>(record.duration()).count();
    const QString length = minutes == 0 ? QStringLiteral("under 1 min")
                           : minutes < 60
                               ? QStringLiteral("%1 min").arg(minutes)
                               : QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
    const qsizetype gaps = record.gaps().size();
    return QStringLiteral("Monitoring for %1 · %2 · %3")
        .arg(length,
             counted(record.ticks() + record.manualScans(), QStringLiteral("scan"),
                     QStringLiteral("scans")),
             gaps == 0 ? QStringLiteral("no gaps")
                       : counted(gaps, QStringLiteral("gap"), QStringLiteral("gaps")));
}

QString gapText(const SessionGap &gap)
{
    return QStringLiteral("%1, %2: %3")
        .arg(gap.from.toString(QStringLiteral("HH:mm:ss")), durationText(gap.length),
             causeText(gap.cause));
}

EmailBody body(const SessionRecord &record)
{
    return render(QStringLiteral("Session report"), reportSections(record));
}

EmailBody contextBody(const ScanContext &context, std::chrono::minutes statusEvery)
{
    QList<Section> sections = contextSections(context, QStringLiteral("now"));
    if (statusEvery > 0min)
        sections.append({QStringLiteral("Status e-mails"),
                         {QStringLiteral("one every %1 min while monitoring runs: a missing one "
                                         "means Nimbrel stopped reporting")
                              .arg(statusEvery.count())}});
    return render(QStringLiteral("Context"), sections);
}

QJsonObject json(const SessionRecord &record)
{
    QJsonArray gaps, lines, changes;
    for (const SessionGap &gap : record.gaps())
        gaps.append(QJsonObject{{QStringLiteral("from"), gap.from.toString(Qt::ISODate)},
                                {QStringLiteral("seconds"), double(gap.length.count()) / 1000},
                                {QStringLiteral("cause"), gap.cause == SessionGap::Cause::Suspended
                                                              ? QStringLiteral("suspended")
                                                              : QStringLiteral("paused")},
                                {QStringLiteral("why"), causeText(gap.cause)}});
    for (const SeenLine &seen : record.lines())
        lines.append(
            QJsonObject{{QStringLiteral("line"), seen.line},
                        {QStringLiteral("firstSeen"), seen.firstSeen.toString(Qt::ISODate)},
                        {QStringLiteral("lastSeen"), seen.lastSeen.toString(Qt::ISODate)},
                        {QStringLiteral("scans"), seen.scans}});
    for (const ContextChange &change : record.changes()) {
        QJsonObject entry = contextJson(change.context);
        entry.insert(QStringLiteral("at"), change.at.toString(Qt::ISODate));
        changes.append(entry);
    }
    return {
        {QStringLiteral("started"), record.started().toString(Qt::ISODate)},
        {QStringLiteral("stopped"),
         record.stopped() ? QJsonValue(record.stopped()->toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("durationSeconds"), double(record.duration().count()) / 1000},
        {QStringLiteral("scans"),
         QJsonObject{{QStringLiteral("ticks"), record.ticks()},
                     {QStringLiteral("expected"), record.scansExpected()},
                     {QStringLiteral("missedInGaps"), record.missedInGaps()},
                     {QStringLiteral("skippedTicks"), record.skippedTicks()},
                     {QStringLiteral("manual"), record.manualScans()}}},
        {QStringLiteral("gaps"), gaps},
        {QStringLiteral("lines"), lines},
        {QStringLiteral("linesLeftOut"), record.linesLeftOut()},
        {QStringLiteral("contextAtStart"), contextJson(record.contextAtStart())},
        {QStringLiteral("changes"), changes},
        {QStringLiteral("changesLeftOut"), record.changesLeftOut()},
    };
}

} // namespace SessionReport
