// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DetectionLog.h"
#include "ProcessWatch.h"
#include "email/EmailSender.h"
#include "email/ResendConfig.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QtQmlIntegration/qqmlintegration.h>

#include <functional>
#include <memory>
#include <optional>

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

public:
    // Runs one scan pass and returns its detection lines; called on a worker thread.
    using ScanPass = std::function<QStringList()>;
    // Makes the watch that runs between monitoring ticks.
    using WatchFactory = std::function<std::unique_ptr<ProcessWatch>()>;
    // A tick is a scan of the monitoring timer; everything else (the Manual
    // Scan button) is a manual scan.
    enum class ScanTrigger { Manual, Tick };

    MonitoringSession(std::shared_ptr<EmailSender> emailSender, ScanPass scanPass,
                      ScanResultsEmails scanResultsEmails = ScanResultsEmails::EveryScan,
                      QObject *parent = nullptr);
    ~MonitoringSession() override;

    void setInterviewerEmail(const QString &address);
    // While monitoring, a watch from `makeWatch` reports what ran between ticks.
    void setProcessWatch(WatchFactory makeWatch) { m_makeWatch = std::move(makeWatch); }

    DetectionLog *detectedProcesses() { return &m_detectedProcesses; }
    QString scanStatus() const { return m_scanStatus; }
    bool isMonitoring() const { return m_isMonitoring; }
    int skippedTicks() const { return m_skippedTicks; }
    QString emailStatus() const { return m_emailStatus; }
    QString interviewerEmail() const { return m_interviewerEmail; }
    QString lastEmailOutcome() const { return m_lastEmailOutcome; }
    bool lastEmailFailed() const { return m_lastEmailFailed; }

    Q_INVOKABLE void toggleMonitoring();
    Q_INVOKABLE void performScan() { performScan(ScanTrigger::Manual); }
    void performScan(ScanTrigger trigger);
    void handleScanResults(const QStringList &scanned, ScanTrigger trigger = ScanTrigger::Manual);

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

private:
    void sendMonitoringStatusEmail(bool started);
    void sendScanResultsEmail(const QStringList &lines, const QDateTime &scanned);
    // Notices are retried on passing failures and counted until their outcome
    // is applied, so an ending can wait for them.
    using ApplyOutcome = std::function<void(MonitoringSession &, bool, std::optional<EmailError>)>;
    void sendNotice(const QString &subject, const EmailBody &body, ApplyOutcome apply);
    void setScanStatus(const QString &status);
    void setEmailStatus(const QString &status);
    void setLastEmailOutcome(bool success, const std::optional<EmailError> &error);

    std::shared_ptr<EmailSender> m_emailSender;
    ScanPass m_scanPass;
    const ScanResultsEmails m_scanResultsEmails;
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
};
