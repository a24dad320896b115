// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MonitoringSession.h"

#include "MonitoringLog.h"
#include "MonitoringNotices.h"
#include "PostToGuiThread.h"
#include "SessionReport.h"
#include "ShortDateTime.h"

#include <QFutureWatcher>
#include <QLocale>
#include <QSysInfo>
#include <QTimerEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <chrono>

using namespace std::chrono;

namespace {

constexpr auto scanInterval = SessionRecord::scanInterval;
constexpr auto heartbeatInterval = 1s;

// "✓ <success><address>" or "✗ <failure><reason>", as the e-mail's outcome line.
// A failed notice also goes to standard error: the dashboard does not show the
// line, and a notice that never arrived must not go unnoticed.
QString outcomeText(bool success, const std::optional<EmailError> &error,
                    const QString &successText, const QString &failureText, const QString &address)
{
    if (success)
        return QStringLiteral("✓ ") + successText + address;
    const QString failure = QStringLiteral("✗ ") + failureText +
                            (error ? error->description : QStringLiteral("Unknown error"));
    qCWarning(nimbrelMonitoring).noquote() << failure;
    return failure;
}

QStringList linesOf(const QList<Finding> &findings)
{
    QStringList lines;
    lines.reserve(findings.size());
    for (const Finding &finding : findings)
        lines.append(finding.line);
    return lines;
}

EmailBody operator+(const EmailBody &notice, const EmailBody &more)
{
    return {notice.html + more.html, notice.text + more.text};
}

} // namespace

MonitoringSession::MonitoringSession(std::shared_ptr<EmailSender> emailSender, ScanPass scanPass,
                                     MonitoringOptions options, QObject *parent)
    : QObject(parent), m_emailSender(std::move(emailSender)), m_scanPass(std::move(scanPass)),
      m_options(std::move(options)), m_record(m_options.clock)
{}

MonitoringSession::~MonitoringSession() = default;

void MonitoringSession::setInterviewerEmail(const QString &address)
{
    if (m_interviewerEmail == address)
        return;
    m_interviewerEmail = address;
    emit interviewerEmailChanged();
}

void MonitoringSession::setScanStatus(const QString &status)
{
    if (m_scanStatus == status)
        return;
    m_scanStatus = status;
    emit scanStatusChanged();
}

void MonitoringSession::setEmailStatus(const QString &status)
{
    if (m_emailStatus == status)
        return;
    m_emailStatus = status;
    emit emailStatusChanged();
}

void MonitoringSession::toggleMonitoring()
{
    m_isMonitoring = !m_isMonitoring;
    emit isMonitoringChanged();
    const bool started = m_isMonitoring;

    if (started) {
        setScanStatus(QStringLiteral("Monitoring started..."));
        m_lastEmailedLines.reset(); // OnChange compares within one monitoring run
        // The first scan comes with the first tick, a full interval from now.
        m_scanTimer = std::make_unique<QTimer>(this);
        m_scanTimer->setInterval(scanInterval);
        // A coarse timer may fire up to 5 % early; ticks keep the full interval.
        m_scanTimer->setTimerType(Qt::PreciseTimer);
        connect(m_scanTimer.get(), &QTimer::timeout, this,
                [this] { performScan(ScanTrigger::Tick); });
        m_scanTimer->start();
        if (m_makeWatch)
            m_watch = m_makeWatch();
        m_record.start(m_contextProbe ? m_contextProbe() : ScanContext());
        m_heartbeat.start(int(milliseconds(heartbeatInterval).count()), Qt::PreciseTimer, this);
        if (m_options.statusEmailInterval > 0ms)
            m_statusEmails.start(int(milliseconds(m_options.statusEmailInterval).count()),
                                 Qt::PreciseTimer, this);
        if (!m_lastGap.isEmpty()) {
            m_lastGap.clear();
            emit lastGapChanged();
        }
    } else {
        setScanStatus(QStringLiteral("Monitoring stopped."));
        m_scanTimer.reset();
        m_watch.reset();
        noteLoopRan();
        m_record.stop();
        m_emailSender->heartbeat(false, 0);
        m_heartbeat.stop();
        m_statusEmails.stop();
    }
    updateSummary();
    emit sessionRecordChanged();

    sendMonitoringStatusEmail(started);
}

void MonitoringSession::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_heartbeat.timerId())
        noteLoopRan();
    else if (event->timerId() == m_statusEmails.timerId())
        sendReportNotice(MonitoringNotices::ReportNotice::Status);
    else
        QObject::timerEvent(event);
}

void MonitoringSession::noteLoopRan()
{
    if (const std::optional<SessionGap> gap = m_record.loopRan()) {
        m_lastGap = SessionReport::gapText(*gap);
        emit lastGapChanged();
        emit sessionRecordChanged();
    }
    updateSummary();
}

void MonitoringSession::updateSummary()
{
    const QString summary = SessionReport::summary(m_record);
    if (summary == m_sessionSummary)
        return;
    m_sessionSummary = summary;
    emit sessionSummaryChanged();
}

void MonitoringSession::performScan(ScanTrigger trigger)
{
    if (m_sessionFinished)
        return;
    // A tick never waits behind a slow pass, nor piles up beside it.
    if (trigger == ScanTrigger::Tick)
        noteLoopRan();
    if (trigger == ScanTrigger::Tick && m_scansRunning > 0) {
        ++m_skippedTicks;
        m_record.count(SessionRecord::Scan::SkippedTick);
        emit skippedTicksChanged();
        return;
    }
    m_record.count(trigger == ScanTrigger::Tick ? SessionRecord::Scan::Tick
                                                : SessionRecord::Scan::Manual);
    updateSummary();
    setScanStatus(QStringLiteral("Scanning..."));
    ++m_scansRunning;

    // One watcher per scan, owned by this session: its finished signal arrives
    // on the GUI thread in the order the scans end, and a destroyed session
    // takes its watchers along, so a late result is dropped unseen. A manual
    // scan may run beside a tick's.
    auto *watcher = new QFutureWatcher<ScanResult>(this);
    connect(watcher, &QFutureWatcher<ScanResult>::finished, this, [this, watcher, trigger] {
        --m_scansRunning;
        const ScanResult result = watcher->result();
        handleScanResults(linesOf(result.findings), trigger, result.context);
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), m_scanPass));
}

void MonitoringSession::handleScanResults(const QStringList &scanned, ScanTrigger trigger,
                                          const ScanContext &context)
{
    if (m_sessionFinished)
        return; // the window is closing: results arriving now go unseen
    // What ran and ended since the last scan comes first, at the time it was
    // seen, unless this scan found its line running again.
    QList<Detection> ended = m_watch ? m_watch->takeEnded() : QList<Detection>();
    ended.removeIf([&](const Detection &detection) {
        return std::any_of(scanned.begin(), scanned.end(), [&](const QString &line) {
            return detection.name.startsWith(line + QStringLiteral(" (seen at "));
        });
    });
    QStringList lines;
    for (const Detection &detection : ended)
        lines.append(detection.name);
    lines.append(scanned);
    if (trigger == ScanTrigger::Tick && m_isMonitoring)
        m_emailSender->heartbeat(true, int(lines.size()));
    // The context is the run's to record and never a result by itself: a
    // change of environment has an e-mail of its own, once.
    const bool newEnvironment = m_record.scanApplied(lines, context);
    if (m_record.isRunning())
        emit sessionRecordChanged();
    if (newEnvironment)
        sendReportNotice(MonitoringNotices::ReportNotice::EnvironmentChanged);
    if (lines.isEmpty()) {
        setScanStatus(QStringLiteral("No suspicious processes found."));
        return;
    }

    setScanStatus(QStringLiteral("Suspicious processes detected."));
    for (const Detection &detection : ended)
        m_detectedProcesses.append(detection);
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString &line : scanned)
        m_detectedProcesses.append({line, now});
    const QSet<QString> found(lines.begin(), lines.end());
    if (m_options.scanResultsEmails == ScanResultsEmails::OnChange &&
        trigger == ScanTrigger::Tick && found == m_lastEmailedLines)
        return;
    m_lastEmailedLines = found;
    sendScanResultsEmail(lines, now);
}

void MonitoringSession::finishSession()
{
    if (m_sessionFinished)
        return;
    if (m_isMonitoring)
        toggleMonitoring();
    m_sessionFinished = true;
}

void MonitoringSession::sendNotice(const QString &subject, const EmailBody &body,
                                   ApplyOutcome apply)
{
    ++m_noticesInFlight;
    m_emailSender->sendEmail(
        m_interviewerEmail, subject, body.html, body.text,
        [session = QPointer<MonitoringSession>(this),
         apply = std::move(apply)](bool success, std::optional<EmailError> error) {
            postToGuiThread(session, [apply, success, error = std::move(error)](
                                         MonitoringSession &session) mutable {
                session.setLastEmailOutcome(success, error);
                apply(session, success, std::move(error));
                if (--session.m_noticesInFlight == 0)
                    emit session.noticesSettled();
            });
        },
        EmailSender::Retry::OnTransientFailure);
}

void MonitoringSession::setLastEmailOutcome(bool success, const std::optional<EmailError> &error)
{
    m_lastEmailFailed = !success;
    m_lastEmailOutcome =
        success ? QStringLiteral("Last e-mail sent at ") +
                      QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat)
                : QStringLiteral("Last e-mail not sent: ") +
                      (error ? error->description : QStringLiteral("Unknown error"));
    emit lastEmailOutcomeChanged();
}

void MonitoringSession::sendMonitoringStatusEmail(bool started)
{
    // What the notice has always said comes first, unchanged; the context or
    // the report follows it.
    const EmailBody more =
        started ? SessionReport::contextBody(m_record.contextAtStart(),
                                             duration_cast<minutes>(m_options.statusEmailInterval))
                : SessionReport::body(m_record);
    sendNotice(MonitoringNotices::statusSubject(started),
               MonitoringNotices::statusBody(started, shortDateTime(QDateTime::currentDateTime())) +
                   more,
               &MonitoringSession::applyStatusOutcome);
}

void MonitoringSession::applyStatusOutcome(bool success, std::optional<EmailError> error)
{
    setEmailStatus(outcomeText(success, error, QStringLiteral("Monitoring status emailed to "),
                               QStringLiteral("Failed to send monitoring status: "),
                               m_interviewerEmail));
}

void MonitoringSession::sendScanResultsEmail(const QStringList &lines, const QDateTime &scanned)
{
    sendNotice(MonitoringNotices::scanResultsSubject(),
               MonitoringNotices::scanResultsBody(lines, shortDateTime(scanned),
                                                  QSysInfo::machineHostName()),
               [lines](MonitoringSession &session, bool success, std::optional<EmailError> error) {
                   // Not delivered: OnChange must not hold back the next tick with these lines.
                   const QSet<QString> sent(lines.begin(), lines.end());
                   if (!success && session.m_lastEmailedLines == sent)
                       session.m_lastEmailedLines.reset();
                   session.setEmailStatus(
                       outcomeText(success, error, QStringLiteral("Scan results emailed to "),
                                   QStringLiteral("Failed to send scan results: "),
                                   session.m_interviewerEmail));
               });
}

void MonitoringSession::sendReportNotice(MonitoringNotices::ReportNotice notice)
{
    noteLoopRan();
    sendNotice(
        MonitoringNotices::reportNoticeSubject(notice),
        MonitoringNotices::reportNoticeBody(notice, shortDateTime(QDateTime::currentDateTime())) +
            SessionReport::body(m_record),
        &MonitoringSession::applyStatusOutcome);
}
