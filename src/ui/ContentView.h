#pragma once

#include "email/EmailSender.h"
#include "email/ResendConfig.h"
#include "monitoring/DetectionLog.h"
#include "monitoring/ProcessWatch.h"

#include <QColor>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

// All state of one window: the verification flow, the monitoring loop and its
// notices, the dashboard's pulse, the e-mail service and the palette. Every
// property is read and written on the GUI thread only; background work hands
// its results back with queued calls guarded against a closed window.
class ContentView : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Each window's ContentView is made by the application")

    // Verification
    Q_PROPERTY(bool isVerified READ isVerified NOTIFY isVerifiedChanged)
    Q_PROPERTY(QString interviewerEmail READ interviewerEmail WRITE setInterviewerEmail NOTIFY
                   interviewerEmailChanged)
    Q_PROPERTY(QString verificationCode READ verificationCode NOTIFY verificationCodeChanged)
    Q_PROPERTY(
        QString userInputCode READ userInputCode WRITE setUserInputCode NOTIFY userInputCodeChanged)
    Q_PROPERTY(QString emailStatus READ emailStatus NOTIFY emailStatusChanged)
    Q_PROPERTY(bool emailSent READ emailSent NOTIFY emailSentChanged)
    // The address the current code went to, which status messages name.
    Q_PROPERTY(
        QString verificationAddress READ verificationAddress NOTIFY verificationAddressChanged)

    // Monitoring
    Q_PROPERTY(DetectionLog *detectedProcesses READ detectedProcesses CONSTANT)
    Q_PROPERTY(QString scanStatus READ scanStatus NOTIFY scanStatusChanged)
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY isMonitoringChanged)
    Q_PROPERTY(qreal animationScale READ animationScale NOTIFY animationScaleChanged)
    // Monitoring ticks that came while the previous scan still ran, and were skipped.
    Q_PROPERTY(int skippedTicks READ skippedTicks NOTIFY skippedTicksChanged)

    // Palette
    Q_PROPERTY(QColor primaryBlue READ primaryBlue CONSTANT)
    Q_PROPERTY(QColor lightBlue READ lightBlue CONSTANT)
    Q_PROPERTY(QColor darkGrey READ darkGrey CONSTANT)
    Q_PROPERTY(QColor mediumGrey READ mediumGrey CONSTANT)
    Q_PROPERTY(QColor lightGrey READ lightGrey CONSTANT)
    Q_PROPERTY(QColor accentRed READ accentRed CONSTANT)
    Q_PROPERTY(QColor accentGreen READ accentGreen CONSTANT)

public:
    // Runs one scan pass and returns its detection lines; called on a worker thread.
    using ScanPass = std::function<QStringList()>;
    // Makes the watch that runs between monitoring ticks.
    using WatchFactory = std::function<std::unique_ptr<ProcessWatch>()>;

    ContentView(std::shared_ptr<EmailSender> resendService, ScanPass scanPass,
                ScanResultsEmails scanResultsEmails = ScanResultsEmails::EveryScan,
                QObject *parent = nullptr);
    ~ContentView() override;

    bool isVerified() const { return m_isVerified; }
    QString interviewerEmail() const { return m_interviewerEmail; }
    void setInterviewerEmail(const QString &email);
    QString verificationCode() const { return m_verificationCode; }
    QString userInputCode() const { return m_userInputCode; }
    void setUserInputCode(const QString &code);
    QString emailStatus() const { return m_emailStatus; }
    bool emailSent() const { return m_emailSent; }
    QString verificationAddress() const { return m_verificationAddress; }

    DetectionLog *detectedProcesses() { return &m_detectedProcesses; }
    QString scanStatus() const { return m_scanStatus; }
    bool isMonitoring() const { return m_isMonitoring; }
    bool hasScanTimer() const { return m_scanTimer != nullptr; }
    qreal animationScale() const { return m_animationScale; }
    int skippedTicks() const { return m_skippedTicks; }

    // While monitoring, a watch from `makeWatch` reports what ran between ticks.
    void setProcessWatch(WatchFactory makeWatch) { m_makeWatch = std::move(makeWatch); }

    QColor primaryBlue() const { return m_primaryBlue; }
    QColor lightBlue() const { return m_lightBlue; }
    QColor darkGrey() const { return m_darkGrey; }
    QColor mediumGrey() const { return m_mediumGrey; }
    QColor lightGrey() const { return m_lightGrey; }
    QColor accentRed() const { return m_accentRed; }
    QColor accentGreen() const { return m_accentGreen; }

    // Verification flow
    Q_INVOKABLE void sendVerificationCode();
    Q_INVOKABLE void verifyCode();
    void handleVerificationEmailResult(bool success, std::optional<EmailError> error);

    // Monitoring loop. A tick is a scan of the monitoring timer; everything
    // else (the Manual Scan button) is a manual scan.
    enum class ScanTrigger { Manual, Tick };
    Q_INVOKABLE void toggleMonitoring();
    Q_INVOKABLE void performScan() { performScan(ScanTrigger::Manual); }
    void performScan(ScanTrigger trigger);
    void handleScanResults(const QStringList &scanned, ScanTrigger trigger = ScanTrigger::Manual);

    // Ends the window's session before it closes: a window that monitors stops
    // as the button would, sending its stop notice; scans still running are
    // dropped. noticesSettled() follows once no notice of this window is in flight.
    void finishSession();
    int noticesInFlight() const { return m_noticesInFlight; }

    // Monitoring notices
    void sendMonitoringStatusEmail(bool started);
    void sendScanResultsEmail(const QStringList &lines);

    // The dashboard's 0.5 s pulse tick: flips the dot's scale while monitoring,
    // settles it at 1.0 otherwise. The view animates the change.
    Q_INVOKABLE void pulseStatusIndicator();

signals:
    void isVerifiedChanged();
    void interviewerEmailChanged();
    void verificationCodeChanged();
    void userInputCodeChanged();
    void emailStatusChanged();
    void emailSentChanged();
    void verificationAddressChanged();
    void scanStatusChanged();
    void isMonitoringChanged();
    void animationScaleChanged();
    void skippedTicksChanged();
    void noticesSettled();

private:
    // Notices are retried and counted until their outcome is applied, so an
    // ending can wait for them; a verification code is neither.
    enum class Mail { VerificationCode, Notice };
    void send(const QString &to, const QString &subject, const QString &html, Mail mail,
              std::function<void(ContentView &, bool, std::optional<EmailError>)> apply);
    void setEmailStatus(const QString &status);
    void setScanStatus(const QString &status);

    bool m_isVerified = false;
    QString m_interviewerEmail;
    QString m_verificationCode;
    QString m_userInputCode;
    QString m_emailStatus;
    bool m_emailSent = false;
    DetectionLog m_detectedProcesses;
    QString m_scanStatus = QStringLiteral("Idle");
    bool m_isMonitoring = false;
    std::unique_ptr<QTimer> m_scanTimer; // present exactly while monitoring
    std::unique_ptr<ProcessWatch> m_watch; // likewise, when there is a factory
    WatchFactory m_makeWatch;
    int m_scansRunning = 0;
    int m_skippedTicks = 0;
    qreal m_animationScale = 1.0;

    // The address the current code was sent to: a code verifies only that address.
    QString m_verificationAddress;

    std::shared_ptr<EmailSender> m_resendService;
    ScanPass m_scanPass;
    const ScanResultsEmails m_scanResultsEmails;
    // The lines last e-mailed in this monitoring run, for OnChange.
    std::optional<QSet<QString>> m_lastEmailedLines;
    int m_noticesInFlight = 0;
    bool m_sessionFinished = false;

    // The palette, as exact sRGB components.
    const QColor m_primaryBlue = QColor::fromRgbF(0.2f, 0.4f, 0.8f);
    const QColor m_lightBlue = QColor::fromRgbF(0.4f, 0.6f, 0.9f);
    const QColor m_darkGrey = QColor::fromRgbF(0.15f, 0.15f, 0.2f);
    const QColor m_mediumGrey = QColor::fromRgbF(0.25f, 0.25f, 0.3f);
    const QColor m_lightGrey = QColor::fromRgbF(0.9f, 0.9f, 0.95f);
    const QColor m_accentRed = QColor::fromRgbF(0.9f, 0.3f, 0.3f);
    const QColor m_accentGreen = QColor::fromRgbF(0.3f, 0.8f, 0.4f);
};
