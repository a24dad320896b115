// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DetectionLog.h"
#include "MonitoringNotices.h"
#include "ProcessWatch.h"
#include "SessionRecord.h"
#include "detection/ScanContext.h"
#include "email/EmailSender.h"
#include "email/ResendConfig.h"

#include <QBasicTimer>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QtQmlIntegration/qqmlintegration.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// How a session reports while it monitors.
struct MonitoringOptions
{
    ScanResultsEmails scanResultsEmails = ScanResultsEmails::EveryScan;
    // "Nimbrel Monitoring Status" with the report so far this often; zero: never.
    std::chrono::milliseconds statusEmailInterval{0};
    SessionClock clock = readClocks;
};

// One window's monitoring once its interviewer is verified: scans on demand
// and every 10 s while monitoring runs, the watch between those ticks, the log
// of detections and the notices e-mailed to the interviewer. Every property is
// read and written on the GUI thread only; scans run on the global thread pool
// and e-mail outcomes come back through queued calls that a destroyed session
// never sees.
class MonitoringSession : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Each window's MonitoringSession is made by the application")

    Q_PROPERTY(DetectionLog *detectedProcesses READ detectedProcesses CONSTANT)
    Q_PROPERTY(QString scanStatus READ scanStatus NOTIFY scanStatusChanged)
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY isMonitoringChanged)
    // Monitoring ticks that came while the previous scan still ran, and were skipped.
    Q_PROPERTY(int skippedTicks READ skippedTicks NOTIFY skippedTicksChanged)
    // The outcome of the latest notice: "✓ … emailed to …" or "✗ Failed to send …".
    Q_PROPERTY(QString emailStatus READ emailStatus NOTIFY emailStatusChanged)
    // The verified address every notice goes to.
    Q_PROPERTY(QString interviewerEmail READ interviewerEmail NOTIFY interviewerEmailChanged)
    // How the latest notice fared, in words for the dashboard: empty before the
    // first outcome, then "Last e-mail sent at 10:42" or "Last e-mail not sent:
    // REASON". The signal comes with every outcome, also one that repeats the last.
    Q_PROPERTY(QString lastEmailOutcome READ lastEmailOutcome NOTIFY lastEmailOutcomeChanged)
    Q_PROPERTY(bool lastEmailFailed READ lastEmailFailed NOTIFY lastEmailOutcomeChanged)
    // While monitoring: "Monitoring for 12 min · 73 scans · 1 gap".
    Q_PROPERTY(QString sessionSummary READ sessionSummary NOTIFY sessionSummaryChanged)
    // The latest gap of this run in the monitoring loop, in a sentence; empty before one.
    Q_PROPERTY(QString lastGap READ lastGap NOTIFY lastGapChanged)

public:
    // Runs one scan pass and returns its findings and context; called on a worker thread.
    using ScanPass = std::function<ScanResult()>;
    // The context alone, read on the GUI thread as monitoring starts.
    using ContextProbe = std::function<ScanContext()>;
    // Makes the watch that runs between monitoring ticks.
    using WatchFactory = std::function<std::unique_ptr<ProcessWatch>()>;
    // A tick is a scan of the monitoring timer; everything else (the Manual
    // Scan button) is a manual scan.
    enum class ScanTrigger { Manual, Tick };

    MonitoringSession(std::shared_ptr<EmailSender> emailSender, ScanPass scanPass,
                      MonitoringOptions options = {}, QObject *parent = nullptr);
    ~MonitoringSession() override;

    void setInterviewerEmail(const QString &address);
    // While monitoring, a watch from `makeWatch` reports what ran between ticks.
    void setProcessWatch(WatchFactory makeWatch) { m_makeWatch = std::move(makeWatch); }
    void setContextProbe(ContextProbe probe) { m_contextProbe = std::move(probe); }

    DetectionLog *detectedProcesses() { return &m_detectedProcesses; }
    QString scanStatus() const { return m_scanStatus; }
    bool isMonitoring() const { return m_isMonitoring; }
    int skippedTicks() const { return m_skippedTicks; }
    QString emailStatus() const { return m_emailStatus; }
    QString interviewerEmail() const { return m_interviewerEmail; }
    QString lastEmailOutcome() const { return m_lastEmailOutcome; }
    bool lastEmailFailed() const { return m_lastEmailFailed; }
    QString sessionSummary() const { return m_sessionSummary; }
    QString lastGap() const { return m_lastGap; }
    // The current monitoring run's record, or the last one's once it stopped.
    const SessionRecord &sessionRecord() const { return m_record; }

    Q_INVOKABLE void toggleMonitoring();
    Q_INVOKABLE void performScan() { performScan(ScanTrigger::Manual); }
    void performScan(ScanTrigger trigger);
    void handleScanResults(const QStringList &scanned, ScanTrigger trigger = ScanTrigger::Manual,
                           const ScanContext &context = {});

    // Ends the session before its window closes: monitoring stops as the button
    // would, sending its stop notice; scans still running are dropped.
    // noticesSettled() follows once no notice of this session is in flight.
    void finishSession();
    int noticesInFlight() const { return m_noticesInFlight; }

signals:
    void scanStatusChanged();
    void isMonitoringChanged();
    void skippedTicksChanged();
    void emailStatusChanged();
    void interviewerEmailChanged();
    void lastEmailOutcomeChanged();
    void noticesSettled();
    void sessionSummaryChanged();
    void lastGapChanged();
    // The record took a step: a start, a scan, a stop.
    void sessionRecordChanged();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void sendMonitoringStatusEmail(bool started);
    void sendScanResultsEmail(const QStringList &lines, const QDateTime &scanned);
    void sendReportNotice(MonitoringNotices::ReportNotice notice);
    // The outcome of a notice on monitoring: its start, stop, status or environment.
    void applyStatusOutcome(bool success, std::optional<EmailError> error);
    // The loop runs: a gap since it last ran is noted and announced.
    void noteLoopRan();
    void updateSummary();
    // Notices are retried on passing failures and counted until their outcome
    // is applied, so an ending can wait for them.
    using ApplyOutcome = std::function<void(MonitoringSession &, bool, std::optional<EmailError>)>;
    void sendNotice(const QString &subject, const EmailBody &body, ApplyOutcome apply);
    void setScanStatus(const QString &status);
    void setEmailStatus(const QString &status);
    void setLastEmailOutcome(bool success, const std::optional<EmailError> &error);

    std::shared_ptr<EmailSender> m_emailSender;
    ScanPass m_scanPass;
    const MonitoringOptions m_options;
    ContextProbe m_contextProbe;
    QString m_interviewerEmail;

    DetectionLog m_detectedProcesses;
    QString m_scanStatus = QStringLiteral("Idle");
    QString m_emailStatus;
    QString m_lastEmailOutcome;
    bool m_lastEmailFailed = false;
    bool m_isMonitoring = false;
    std::unique_ptr<QTimer> m_scanTimer;   // present exactly while monitoring
    std::unique_ptr<ProcessWatch> m_watch; // likewise, when there is a factory
    WatchFactory m_makeWatch;
    int m_scansRunning = 0;
    int m_skippedTicks = 0;
    // The lines last e-mailed in this monitoring run, for OnChange.
    std::optional<QSet<QString>> m_lastEmailedLines;
    int m_noticesInFlight = 0;
    bool m_sessionFinished = false;
    SessionRecord m_record;
    // Timers that are no children, so the loop's QTimer stays the only one.
    QBasicTimer m_heartbeat;    // notes the loop running once a second
    QBasicTimer m_statusEmails; // while monitoring, when status e-mails are on
    QString m_sessionSummary;
    QString m_lastGap;
};
