// The monitoring loop, its notices and the dashboard's pulse.
#include "ContentView.h"

#include "PostToGuiThread.h"
#include "monitoring/MonitoringNotices.h"
#include "monitoring/ShortDateTime.h"

#include <QFutureWatcher>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <chrono>

using namespace std::chrono_literals;

namespace {

constexpr auto scanInterval = 10s;

// "✓ <success><address>" or "✗ <failure><reason>", as the e-mail's outcome line.
QString outcomeText(bool success, const std::optional<EmailError> &error,
                    const QString &successText, const QString &failureText, const QString &address)
{
    if (success)
        return QStringLiteral("✓ ") + successText + address;
    return QStringLiteral("✗ ") + failureText +
           (error ? error->description : QStringLiteral("Unknown error"));
}

} // namespace

void ContentView::toggleMonitoring()
{
    m_isMonitoring = !m_isMonitoring;
    emit isMonitoringChanged();
    const bool started = m_isMonitoring;

    if (started) {
        setScanStatus(QStringLiteral("Monitoring started..."));
        // The first scan comes with the first tick, a full interval from now.
        m_scanTimer = std::make_unique<QTimer>(this);
        m_scanTimer->setInterval(scanInterval);
        // A coarse timer may fire up to 5 % early; ticks keep the full interval.
        m_scanTimer->setTimerType(Qt::PreciseTimer);
        connect(m_scanTimer.get(), &QTimer::timeout, this, &ContentView::performScan);
        m_scanTimer->start();
    } else {
        setScanStatus(QStringLiteral("Monitoring stopped."));
        m_scanTimer.reset();
    }

    sendMonitoringStatusEmail(started);
}

void ContentView::performScan()
{
    setScanStatus(QStringLiteral("Scanning..."));

    // One watcher per scan, owned by this window: its finished signal arrives on
    // the GUI thread in the order the scans end, and a closed window takes its
    // watchers along, so a late result is dropped unseen. Scans are not serialised.
    auto *watcher = new QFutureWatcher<QStringList>(this);
    connect(watcher, &QFutureWatcher<QStringList>::finished, this, [this, watcher] {
        handleScanResults(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), m_scanPass));
}

void ContentView::handleScanResults(const QStringList &lines)
{
    if (lines.isEmpty()) {
        setScanStatus(QStringLiteral("No suspicious processes found."));
        return;
    }

    setScanStatus(QStringLiteral("Suspicious processes detected."));
    for (const QString &line : lines)
        m_detectedProcesses.append({QUuid::createUuid(), line, QDateTime::currentDateTime()});
    sendScanResultsEmail(lines);
}

void ContentView::sendMonitoringStatusEmail(bool started)
{
    const QString body =
        MonitoringNotices::statusBody(started, shortDateTime(QDateTime::currentDateTime()));
    m_resendService->sendEmail(
        m_interviewerEmail, MonitoringNotices::statusSubject(started), body, std::nullopt,
        [window = QPointer<ContentView>(this)](bool success, std::optional<EmailError> error) {
            postToGuiThread(window, [success, error = std::move(error)](ContentView &view) {
                view.setEmailStatus(outcomeText(
                    success, error, QStringLiteral("Monitoring status emailed to "),
                    QStringLiteral("Failed to send monitoring status: "), view.m_interviewerEmail));
            });
        });
}

void ContentView::sendScanResultsEmail(const QStringList &lines)
{
    m_resendService->sendEmail(
        m_interviewerEmail, MonitoringNotices::scanResultsSubject(),
        MonitoringNotices::scanResultsBody(lines), std::nullopt,
        [window = QPointer<ContentView>(this)](bool success, std::optional<EmailError> error) {
            postToGuiThread(window, [success, error = std::move(error)](ContentView &view) {
                view.setEmailStatus(outcomeText(
                    success, error, QStringLiteral("Scan results emailed to "),
                    QStringLiteral("Failed to send scan results: "), view.m_interviewerEmail));
            });
        });
}

void ContentView::pulseStatusIndicator()
{
    // While monitoring the dot alternates between 100 % and 120 %; otherwise it rests at 100 %.
    const qreal next = (m_isMonitoring && m_animationScale == 1.0) ? 1.2 : 1.0;
    if (next == m_animationScale)
        return;
    m_animationScale = next;
    emit animationScaleChanged();
}
