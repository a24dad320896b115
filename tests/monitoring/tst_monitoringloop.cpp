#include "ContentView.h"
#include "FakeEmailSender.h"
#include "ScriptedScanPass.h"

#include "monitoring/MonitoringNotices.h"
#include "monitoring/ShortDateTime.h"

#include <QSignalSpy>
#include <QTest>

#include <thread>

namespace {

const QString kInterviewer = QStringLiteral("interviewer@example.com");
const QString kCluelyApp = QStringLiteral("🚨 CLUELY DETECTED - App: Cluely");
const QString kCluelyProcess = QStringLiteral("🚨 CLUELY DETECTED - Process: cluely-helper");
const QString kKeyLogger = QStringLiteral("Process: KeyLogger");

// Time for work that should not happen (a scan, a posted update) to show up if it did.
constexpr int kSettleMs = 200;

} // namespace

// The monitoring loop and its notices, driven through a window with a scripted
// scan pass and a fake e-mail service.
class TestMonitoringLoop : public QObject
{
    Q_OBJECT

private:
    std::shared_ptr<FakeEmailSender> m_sender;
    std::shared_ptr<ScriptedScanPass> m_scans;
    std::unique_ptr<ContentView> m_view;

    ContentView &view() { return *m_view; }

    std::unique_ptr<ContentView> makeView()
    {
        auto window =
            std::make_unique<ContentView>(m_sender, [scans = m_scans] { return scans->run(); });
        window->setInterviewerEmail(kInterviewer);
        return window;
    }

    QList<QTimer *> liveTimers() { return m_view->findChildren<QTimer *>(); }

    // Fires the monitoring timer as if its interval had elapsed.
    void tick()
    {
        const QList<QTimer *> timers = liveTimers();
        QCOMPARE(timers.size(), 1);
        QVERIFY(QMetaObject::invokeMethod(timers.first(), "timeout"));
    }

    QStringList logNames()
    {
        QStringList names;
        for (const Detection &entry : m_view->detectedProcesses()->entries())
            names.append(entry.name);
        return names;
    }

private slots:
    void init()
    {
        m_sender = std::make_shared<FakeEmailSender>();
        m_scans = std::make_shared<ScriptedScanPass>();
        m_view = makeView();
    }

    void cleanup()
    {
        m_view.reset();
        // No scan of one test may still be running into the next.
        QTRY_COMPARE(m_scans->finished(), m_scans->started());
    }

    void startsIdle()
    {
        QCOMPARE(view().scanStatus(), QStringLiteral("Idle"));
        QVERIFY(!view().isMonitoring());
        QVERIFY(!view().hasScanTimer());
        QVERIFY(view().detectedProcesses()->isEmpty());
        QCOMPARE(view().animationScale(), 1.0);
    }

    void startArmsOneTimerAndSendsStartedNotice()
    {
        QSignalSpy monitoringChanged(&view(), &ContentView::isMonitoringChanged);
        const QString before = shortDateTime(QDateTime::currentDateTime());
        view().toggleMonitoring();
        const QString after = shortDateTime(QDateTime::currentDateTime());

        QVERIFY(view().isMonitoring());
        QCOMPARE(monitoringChanged.count(), 1);
        QCOMPARE(view().scanStatus(), QStringLiteral("Monitoring started..."));
        QVERIFY(view().hasScanTimer());
        const QList<QTimer *> timers = liveTimers();
        QCOMPARE(timers.size(), 1);
        QVERIFY(timers.first()->isActive());
        QVERIFY(!timers.first()->isSingleShot());
        QCOMPARE(timers.first()->interval(), 10000);

        QCOMPARE(m_sender->sent.size(), 1);
        const FakeEmailSender::Sent &notice = m_sender->sent.first();
        QCOMPARE(notice.to, kInterviewer);
        QCOMPARE(notice.subject, QStringLiteral("Nimbrel Monitoring Started"));
        QVERIFY(!notice.text.has_value());
        QVERIFY(notice.html == MonitoringNotices::statusBody(true, before) ||
                notice.html == MonitoringNotices::statusBody(true, after));

        // No scan runs at the start: the first one waits for the first tick.
        QTest::qWait(kSettleMs);
        QCOMPARE(m_scans->started(), 0);
        QCOMPARE(view().scanStatus(), QStringLiteral("Monitoring started..."));
    }

    void firstScanComesTenSecondsAfterStart()
    {
        view().toggleMonitoring();
        QTest::qWait(9000);
        QCOMPARE(m_scans->started(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_scans->started(), 1, 2500);
        QTRY_COMPARE(view().scanStatus(), QStringLiteral("No suspicious processes found."));
    }

    void startAndStopWithinIntervalScansNothing()
    {
        view().toggleMonitoring();
        view().toggleMonitoring();

        QVERIFY(!view().isMonitoring());
        QVERIFY(!view().hasScanTimer());
        QVERIFY(liveTimers().isEmpty());
        QCOMPARE(view().scanStatus(), QStringLiteral("Monitoring stopped."));
        QCOMPARE(m_sender->subjects(), (QStringList{QStringLiteral("Nimbrel Monitoring Started"),
                                                    QStringLiteral("Nimbrel Monitoring Stopped")}));
        QVERIFY(m_sender->sent.last().html.contains(QStringLiteral("#dc3545")));
        QTest::qWait(kSettleMs);
        QCOMPARE(m_scans->started(), 0);
    }

    void manualScanWhileIdle()
    {
        m_scans->enqueue({kCluelyProcess});
        view().performScan();
        QCOMPARE(view().scanStatus(), QStringLiteral("Scanning..."));

        QTRY_COMPARE(view().scanStatus(), QStringLiteral("Suspicious processes detected."));
        QCOMPARE(logNames(), QStringList{kCluelyProcess});
        QCOMPARE(m_sender->sent.size(), 1);
        QCOMPARE(m_sender->sent.first().subject, QStringLiteral("Nimbrel Scan Results"));
        QCOMPARE(m_sender->sent.first().to, kInterviewer);
        QVERIFY(!m_sender->sent.first().text.has_value());
        QVERIFY(!view().isMonitoring());
        QVERIFY(!view().hasScanTimer());
        QVERIFY(liveTimers().isEmpty());

        QTest::qWait(kSettleMs);
        QCOMPARE(view().scanStatus(), QStringLiteral("Suspicious processes detected."));
        QCOMPARE(m_scans->started(), 1);
    }

    void emptyScanChangesOnlyStatus()
    {
        QSignalSpy logChanged(view().detectedProcesses(), &DetectionLog::countChanged);
        view().performScan();
        QTRY_COMPARE(view().scanStatus(), QStringLiteral("No suspicious processes found."));
        QVERIFY(view().detectedProcesses()->isEmpty());
        QCOMPARE(logChanged.count(), 0);
        QVERIFY(m_sender->sent.isEmpty());
    }

    void threeLinesGiveThreeEntriesAndOneEmail()
    {
        const QStringList lines{kCluelyProcess, kKeyLogger, kCluelyApp};
        m_scans->enqueue(lines);
        const QDateTime before = QDateTime::currentDateTime();
        view().performScan();
        QTRY_COMPARE(view().detectedProcesses()->count(), 3);
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(logNames(), lines);
        QSet<QUuid> ids;
        for (const Detection &entry : view().detectedProcesses()->entries()) {
            QVERIFY(!entry.id.isNull());
            ids.insert(entry.id);
            QVERIFY(entry.time >= before && entry.time <= after);
        }
        QCOMPARE(ids.size(), 3);

        QCOMPARE(m_sender->sent.size(), 1);
        QCOMPARE(m_sender->sent.first().html, MonitoringNotices::scanResultsBody(lines));
    }

    // The log and the screen keep a line as found; only the e-mail escapes it.
    void markupInLineIsLoggedVerbatimAndEscapedInEmail()
    {
        const QString hostile = QStringLiteral("Process: <a href='http://evil'>Cluely</a>");
        m_scans->enqueue({hostile});
        view().performScan();
        QTRY_COMPARE(m_sender->sent.size(), 1);
        QCOMPARE(logNames(), QStringList{hostile});
        const QString html = m_sender->sent.first().html;
        QVERIFY(!html.contains(QStringLiteral("<a")));
        QVERIFY(
            html.contains(QStringLiteral("&lt;a href=&#39;http://evil&#39;&gt;Cluely&lt;/a&gt;")));
    }

    void scanInFlightAcrossStopIsStillApplied()
    {
        view().toggleMonitoring();
        auto gate = std::make_shared<ScriptedScanPass::Gate>();
        m_scans->enqueue({kCluelyApp}, gate);
        view().performScan();
        QTRY_COMPARE(m_scans->started(), 1);

        view().toggleMonitoring();
        QCOMPARE(view().scanStatus(), QStringLiteral("Monitoring stopped."));
        QTest::qWait(kSettleMs);
        QCOMPARE(view().scanStatus(), QStringLiteral("Monitoring stopped."));

        gate->open();
        QTRY_COMPARE(view().scanStatus(), QStringLiteral("Suspicious processes detected."));
        QCOMPARE(logNames(), QStringList{kCluelyApp});
        QCOMPARE(m_sender->subjects(), (QStringList{QStringLiteral("Nimbrel Monitoring Started"),
                                                    QStringLiteral("Nimbrel Monitoring Stopped"),
                                                    QStringLiteral("Nimbrel Scan Results")}));
        QVERIFY(!view().isMonitoring());
        QVERIFY(liveTimers().isEmpty());
    }

    // Scans are not serialised: a slow scan does not hold back a later one.
    void resultsAppliedInFinishingOrder()
    {
        auto first = std::make_shared<ScriptedScanPass::Gate>();
        auto second = std::make_shared<ScriptedScanPass::Gate>();
        m_scans->enqueue({kCluelyApp}, first);
        m_scans->enqueue({kKeyLogger}, second);
        view().performScan();
        view().performScan();
        QTRY_COMPARE(m_scans->started(), 2);

        second->open();
        QTRY_COMPARE(view().detectedProcesses()->count(), 1);
        QCOMPARE(logNames(), QStringList{kKeyLogger});
        first->open();
        QTRY_COMPARE(view().detectedProcesses()->count(), 2);
        QCOMPARE(logNames(), (QStringList{kKeyLogger, kCluelyApp}));
        QCOMPARE(m_sender->sent.size(), 2);
    }

    // A tick runs the same scan step as Manual Scan; stopping keeps the log.
    void tickScansAndStopKeepsLog()
    {
        m_scans->enqueue({kCluelyApp});
        view().toggleMonitoring();
        tick();
        QCOMPARE(view().scanStatus(), QStringLiteral("Scanning..."));
        QTRY_COMPARE(view().detectedProcesses()->count(), 1);
        QCOMPARE(view().scanStatus(), QStringLiteral("Suspicious processes detected."));
        QCOMPARE(m_sender->subjects().last(), QStringLiteral("Nimbrel Scan Results"));
        QVERIFY(view().isMonitoring());
        QCOMPARE(liveTimers().size(), 1);
        view().toggleMonitoring();
        QCOMPARE(logNames(), QStringList{kCluelyApp});

        // The same finding at a later tick is logged again: the log is not a set.
        m_scans->enqueue({kCluelyApp});
        view().toggleMonitoring();
        tick();
        QTRY_COMPARE(view().detectedProcesses()->count(), 2);
        QCOMPARE(logNames(), (QStringList{kCluelyApp, kCluelyApp}));
        const QList<Detection> &entries = view().detectedProcesses()->entries();
        QVERIFY(entries.at(0).id != entries.at(1).id);
    }

    void repeatedTogglingLeavesAtMostOneTimer()
    {
        for (int press = 1; press <= 7; ++press) {
            view().toggleMonitoring();
            const bool on = press % 2 == 1;
            QCOMPARE(view().isMonitoring(), on);
            QCOMPARE(view().hasScanTimer(), on);
            QCOMPARE(liveTimers().size(), on ? 1 : 0);
        }
        QCOMPARE(m_sender->sent.size(), 7);
    }

    void noticeOutcomes_data()
    {
        QTest::addColumn<bool>("scanResults");
        QTest::addColumn<bool>("success");
        QTest::addColumn<std::optional<EmailError>>("error");
        QTest::addColumn<QString>("expected");

        const std::optional<EmailError> none;
        const std::optional<EmailError> refused = EmailError{QStringLiteral("Connection refused")};
        QTest::newRow("status sent")
            << false << true << none << "✓ Monitoring status emailed to " + kInterviewer;
        QTest::newRow("status failed with error")
            << false << false << refused
            << QStringLiteral("✗ Failed to send monitoring status: Connection refused");
        QTest::newRow("status failed without error")
            << false << false << none
            << QStringLiteral("✗ Failed to send monitoring status: Unknown error");
        QTest::newRow("scan sent")
            << true << true << none << "✓ Scan results emailed to " + kInterviewer;
        QTest::newRow("scan failed with error")
            << true << false << refused
            << QStringLiteral("✗ Failed to send scan results: Connection refused");
        QTest::newRow("scan failed without error")
            << true << false << none
            << QStringLiteral("✗ Failed to send scan results: Unknown error");
    }

    // Completions arrive on the service's own thread; the outcome still lands on
    // the window's thread.
    void noticeOutcomes()
    {
        QFETCH(bool, scanResults);
        QFETCH(bool, success);
        QFETCH(std::optional<EmailError>, error);
        QFETCH(QString, expected);

        if (scanResults)
            view().sendScanResultsEmail({kCluelyApp});
        else
            view().sendMonitoringStatusEmail(true);
        QCOMPARE(m_sender->sent.size(), 1);

        QSignalSpy statusChanged(&view(), &ContentView::emailStatusChanged);
        const EmailCompletion completion = m_sender->sent.first().completion;
        std::thread([&] { completion(success, error); }).join();
        QTRY_COMPARE(view().emailStatus(), expected);
        QCOMPARE(statusChanged.count(), 1);
    }

    // A service that fails early calls back inside sendEmail; the outcome must
    // still be written later, not in the middle of the caller's step.
    void synchronousFailureIsPostedLater()
    {
        m_sender->onSend = [](const EmailCompletion &completion) { completion(false, {}); };
        view().toggleMonitoring();
        QCOMPARE(view().emailStatus(), QString());
        QTRY_COMPARE(view().emailStatus(),
                     QStringLiteral("✗ Failed to send monitoring status: Unknown error"));
        QVERIFY(view().isMonitoring());
        QCOMPARE(view().scanStatus(), QStringLiteral("Monitoring started..."));
    }

    void outcomeNamesAddressHeldWhenSendFinishes()
    {
        view().sendMonitoringStatusEmail(false);
        view().setInterviewerEmail(QStringLiteral("other@example.com"));
        m_sender->sent.first().completion(true, {});
        QTRY_COMPARE(view().emailStatus(),
                     QStringLiteral("✓ Monitoring status emailed to other@example.com"));
    }

    void lastFinishedSendWins()
    {
        view().sendMonitoringStatusEmail(true);
        view().sendScanResultsEmail({kCluelyApp});
        m_sender->sent.at(1).completion(true, {});
        m_sender->sent.at(0).completion(false, {});
        QTRY_COMPARE(view().emailStatus(),
                     QStringLiteral("✗ Failed to send monitoring status: Unknown error"));
        QTest::qWait(kSettleMs);
        QCOMPARE(view().emailStatus(),
                 QStringLiteral("✗ Failed to send monitoring status: Unknown error"));
    }

    // A window closed while its scan and its e-mail are still out: both finish
    // unseen, without touching the freed window or any other one.
    void closedWindowDropsLateResults()
    {
        auto gate = std::make_shared<ScriptedScanPass::Gate>();
        m_scans->enqueue({kCluelyApp}, gate);
        view().toggleMonitoring();
        view().performScan();
        QTRY_COMPARE(m_scans->started(), 1);
        const EmailCompletion completion = m_sender->sent.first().completion;

        std::unique_ptr<ContentView> other = makeView();
        m_view.reset();

        gate->open();
        std::thread([&] { completion(true, {}); }).join();
        QTRY_COMPARE(m_scans->finished(), 1);
        QTest::qWait(kSettleMs);

        QCOMPARE(m_sender->sent.size(), 1); // no scan-results e-mail from the closed window
        QCOMPARE(other->scanStatus(), QStringLiteral("Idle"));
        QCOMPARE(other->emailStatus(), QString());
        QVERIFY(other->detectedProcesses()->isEmpty());
        m_view = std::move(other);
    }

    void pulseFollowsMonitoring()
    {
        QSignalSpy scaleChanged(&view(), &ContentView::animationScaleChanged);
        for (int beat = 0; beat < 3; ++beat)
            view().pulseStatusIndicator();
        QCOMPARE(view().animationScale(), 1.0);
        QCOMPARE(scaleChanged.count(), 0);

        view().toggleMonitoring();
        QList<qreal> beats;
        for (int beat = 0; beat < 4; ++beat) {
            view().pulseStatusIndicator();
            beats.append(view().animationScale());
        }
        QCOMPARE(beats, (QList<qreal>{1.2, 1.0, 1.2, 1.0}));

        view().pulseStatusIndicator(); // at 1.2 now
        view().toggleMonitoring();
        view().pulseStatusIndicator();
        QCOMPARE(view().animationScale(), 1.0);
        view().pulseStatusIndicator();
        QCOMPARE(view().animationScale(), 1.0);
    }
};

QTEST_MAIN(TestMonitoringLoop)
#include "tst_monitoringloop.moc"
