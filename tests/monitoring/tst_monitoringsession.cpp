// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeEmailSender.h"
#include "MonitoringNotices.h"
#include "MonitoringSession.h"
#include "ShortDateTime.h"

#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono;

namespace {
const QString kInterviewer = QStringLiteral("interviewer@example.com");
const QString kApp = QStringLiteral("🚨 CLUELY DETECTED - App: Cluely");
const QString kHelper = QStringLiteral("🚨 CLUELY DETECTED - Process: cluely-helper");
const QString kFound = QStringLiteral("Suspicious processes detected.");
// Time for work that should not happen (a scan, a posted update) to show up if it did.
constexpr int kSettleMs = 200;
using Gate = std::shared_ptr<QSemaphore>;
using Sent = FakeEmailSender::Sent;

// A scan pass whose results the test lists before the scans start. A result with
// a gate blocks its worker thread until the test releases the gate.
struct ScriptedScans
{
    struct Scan
    {
        QStringList lines;
        Gate gate;
        ScanContext context = {};
    };
    QList<Scan> script;
    std::atomic<int> started = 0, finished = 0;

    ScanResult run()
    {
        const Scan scan = script.value(started++);
        if (scan.gate)
            scan.gate->acquire();
        ++finished;
        ScanResult result{{}, scan.context};
        for (const QString &line : scan.lines)
            result.findings.append({line, FindingKind::Cluely, FindingSource::Process});
        return result;
    }
};

template <typename T> QStringList pick(const QList<T> &items, QString T::*field)
{
    QStringList values;
    for (const T &item : items)
        values.append(item.*field);
    return values;
}
} // namespace

// The monitoring session: its loop, log and notices, driven with a scripted
// scan pass and a fake e-mail service.
class TestMonitoringSession : public QObject
{
    Q_OBJECT

    std::shared_ptr<FakeEmailSender> m_sender;
    std::shared_ptr<ScriptedScans> m_scans;
    std::unique_ptr<MonitoringSession> m_session;

    std::unique_ptr<MonitoringSession> makeSession(MonitoringOptions options = {})
    {
        auto session = std::make_unique<MonitoringSession>(
            m_sender, [s = m_scans] { return s->run(); }, options);
        session->setInterviewerEmail(kInterviewer);
        return session;
    }
    QList<QTimer *> timers() { return m_session->findChildren<QTimer *>(); }
    QStringList logged()
    {
        return pick(m_session->detectedProcesses()->entries(), &Detection::name);
    }
    QStringList sent(QString Sent::*field) { return pick(m_sender->sent, field); }

private slots:
    void init()
    {
        m_sender = std::make_shared<FakeEmailSender>();
        m_scans = std::make_shared<ScriptedScans>();
        m_session = makeSession();
    }

    void cleanup()
    {
        m_session.reset();
        QTRY_COMPARE(m_scans->finished, m_scans->started); // no scan runs into the next test
        for (const Sent &mail : std::as_const(m_sender->sent))
            QVERIFY2(mail.text && !mail.text->isEmpty(), "every notice has a text part");
    }

    void startAndStopWithinIntervalScansNothing()
    {
        QCOMPARE(m_session->scanStatus(), QStringLiteral("Idle"));
        const QString before = shortDateTime(QDateTime::currentDateTime());
        m_session->toggleMonitoring();
        QVERIFY(m_session->isMonitoring());
        QCOMPARE(m_session->scanStatus(), QStringLiteral("Monitoring started..."));
        QCOMPARE(timers().size(), 1);
        QVERIFY(timers().first()->isActive() && !timers().first()->isSingleShot() &&
                timers().first()->interval() == 10000);

        m_session->toggleMonitoring();
        const QString after = shortDateTime(QDateTime::currentDateTime());
        QVERIFY(!m_session->isMonitoring() && timers().isEmpty());
        QCOMPARE(m_session->scanStatus(), QStringLiteral("Monitoring stopped."));
        QCOMPARE(sent(&Sent::to), QStringList(2, kInterviewer));
        QCOMPARE(sent(&Sent::subject),
                 (QStringList{"Nimbrel Monitoring Started", "Nimbrel Monitoring Stopped"}));
        for (const bool started : {true, false}) {
            const Sent &mail = m_sender->sent.at(started ? 0 : 1);
            const QString state = started ? "Monitoring Started" : "Monitoring Stopped";
            // The notice as it always was, then the context or the report.
            for (const QString &moment : {before, after}) {
                const EmailBody body = MonitoringNotices::statusBody(started, moment);
                if (mail.html.startsWith(body.html + "\n<div") && mail.text->startsWith(body.text))
                    break;
                QVERIFY2(moment == before, qPrintable(mail.html));
            }
            QVERIFY(mail.text->contains(started ? "\nContext\n" : "\nSession report\n"));
            QVERIFY(mail.html.contains(state) && mail.text->contains(state));
        }
        QTest::qWait(kSettleMs);
        QCOMPARE(m_scans->started, 0);
    }

    // Lines are joined by <br> in their order. A process name is chosen by whoever
    // runs the process, so markup in any line reaches the interviewer as text.
    // Each entry of the log has the time it was logged.
    void manualScanWhileIdle_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("joined");
        const QString tag = QStringLiteral("Process: <a href=\"x\">c</a>");
        const QString escapedTag =
            QStringLiteral("Process: &lt;a href=&quot;x&quot;&gt;c&lt;/a&gt;");
        QTest::newRow("nothing found") << QStringList() << QString();
        QTest::newRow("one line") << QStringList{kApp} << kApp;
        QTest::newRow("three in order")
            << QStringList{kHelper, kApp, "App: Ünï"} << kHelper + "<br>" + kApp + "<br>App: Ünï";
        QTest::newRow("tag in every line")
            << QStringList{kApp, tag, tag} << kApp + "<br>" + escapedTag + "<br>" + escapedTag;
        QTest::newRow("& escaped once") << QStringList{"App: A&amp;B"} << "App: A&amp;amp;B";
        QTest::newRow("apostrophe") << QStringList{"App: it's"} << "App: it&#39;s";
    }

    void manualScanWhileIdle()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, joined);
        m_scans->script.append({lines, {}});
        const QDateTime before = QDateTime::currentDateTime();
        m_session->performScan();
        QCOMPARE(m_session->scanStatus(), QStringLiteral("Scanning..."));
        const QString status = lines.isEmpty() ? "No suspicious processes found." : kFound;
        QTRY_COMPARE(m_session->scanStatus(), status);
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(logged(), lines); // the log keeps every line as found, one entry each
        for (const Detection &entry : m_session->detectedProcesses()->entries())
            QVERIFY(entry.time >= before && entry.time <= after);
        const qsizetype mails = lines.isEmpty() ? 0 : 1;
        QCOMPARE(sent(&Sent::subject), QStringList(mails, "Nimbrel Scan Results"));
        if (mails) {
            // The lines, then when and where they were found; as written in the text part.
            const Sent &mail = m_sender->sent.at(0);
            const QString scanned =
                shortDateTime(m_session->detectedProcesses()->entries()[0].time);
            const QString host = QSysInfo::machineHostName();
            QVERIFY2(mail.html.endsWith("<p>" + joined + "</p>\n<p>Scanned at <strong>" + scanned +
                                        "</strong> on <strong>" + host + "</strong>.</p>"),
                     qPrintable(mail.html));
            QCOMPARE(*mail.text, "Suspicious processes detected during scan:\n\n" +
                                     lines.join('\n') + "\n\nScanned at " + scanned + " on " +
                                     host + ".\n");
        }
        QCOMPARE(sent(&Sent::to), QStringList(mails, kInterviewer));
        QTest::qWait(kSettleMs);
        QCOMPARE(m_scans->started, 1);
        QCOMPARE(m_session->scanStatus(), status);
        QVERIFY(!m_session->isMonitoring() && timers().isEmpty());
    }

    void scanInFlightAcrossStopIsStillApplied()
    {
        m_session->toggleMonitoring();
        const Gate gate = std::make_shared<QSemaphore>();
        m_scans->script.append({{kApp}, gate});
        m_session->performScan();
        QTRY_COMPARE(m_scans->started, 1);
        m_session->toggleMonitoring();
        QTest::qWait(kSettleMs);
        QCOMPARE(m_session->scanStatus(), QStringLiteral("Monitoring stopped."));

        gate->release();
        QTRY_COMPARE(m_session->scanStatus(), kFound);
        QCOMPARE(logged(), QStringList{kApp});
        QCOMPARE(sent(&Sent::subject).last(), "Nimbrel Scan Results");
        QVERIFY(!m_session->isMonitoring() && timers().isEmpty());
        // A new run keeps the log and sends its own start notice.
        m_session->toggleMonitoring();
        QCOMPARE(logged(), QStringList{kApp});
        QCOMPARE(sent(&Sent::subject).last(), "Nimbrel Monitoring Started");
    }

    // A slow scan does not hold back a later manual one; a tick that comes
    // while a scan runs is skipped and counted.
    void resultsAppliedInFinishingOrder()
    {
        const Gate first = std::make_shared<QSemaphore>(), second = std::make_shared<QSemaphore>();
        m_scans->script.append({{kApp}, first});
        m_scans->script.append({{kHelper}, second});
        m_session->toggleMonitoring();
        m_session->performScan();
        m_session->performScan();
        QTRY_COMPARE(m_scans->started, 2);
        QVERIFY(QMetaObject::invokeMethod(timers().value(0), "timeout"));
        QCOMPARE(m_session->skippedTicks(), 1);
        QCOMPARE(m_scans->started, 2);
        second->release();
        QTRY_COMPARE(logged(), QStringList{kHelper});
        first->release();
        QTRY_COMPARE(logged(), (QStringList{kHelper, kApp}));
    }

    // What ran for a moment between two ticks is reported by the next, with
    // the time it was seen: from a scripted /proc, then from the real one.
    void processesBetweenTicksAreReported()
    {
        QTemporaryDir proc;
        ProcessWatch *watch = nullptr;
        m_session->setProcessWatch([&] {
            auto made = std::make_unique<ProcessWatch>(
                ProcessWatch::Options{.procRoot = proc.path(), .interval = {}});
            watch = made.get();
            return made;
        });
        m_session->toggleMonitoring();
        QVERIFY(watch && QDir(proc.path()).mkpath(u"10"_s) && QDir(proc.path()).mkpath(u"11"_s));
        watch->look();
        for (const auto &[pid, name] : {std::pair{"12", "cluely-blink"}, std::pair{"13", "vim"},
                                        std::pair{"14", "cluely-stays"}}) {
            QDir(proc.path()).mkpath(QString::fromLatin1(pid));
            QFile cmdline(proc.filePath(QString::fromLatin1(pid) + u"/cmdline"_s));
            QVERIFY(cmdline.open(QIODevice::WriteOnly) && cmdline.write(name));
        }
        watch->look();
        const QString seen = QTime::currentTime().toString(u"HH:mm:ss"_s);
        QVERIFY(QDir(proc.filePath(u"12"_s)).removeRecursively() &&
                QDir(proc.filePath(u"13"_s)).removeRecursively() &&
                QDir(proc.filePath(u"10"_s)).removeRecursively());
        m_scans->script.append({QStringList(), Gate()});
        QVERIFY(QMetaObject::invokeMethod(timers().value(0), "timeout"));
        QTRY_COMPARE(logged(),
                     QStringList{u"🚨 CLUELY DETECTED - Process: cluely-blink (seen at "_s + seen +
                                 u", ended before the scan)"_s});
        QCOMPARE(sent(&Sent::subject).last(), "Nimbrel Scan Results");
        m_session->toggleMonitoring();

        const QString name = u"cluelywatch"_s + QString::number(QCoreApplication::applicationPid());
        m_session->setProcessWatch([] {
            return std::make_unique<ProcessWatch>(ProcessWatch::Options{.interval = 100ms});
        });
        m_session->toggleMonitoring();
        QProcess blink;
        blink.start(u"bash"_s, {u"-c"_s, u"exec -a "_s + name + u" sleep 2"_s});
        QVERIFY(blink.waitForFinished(10'000));
        // Other tests' processes may end too: look for this one among the lines.
        const auto reported = [&] {
            QMetaObject::invokeMethod(timers().value(0), "timeout");
            const QStringList lines = logged();
            return std::any_of(lines.begin(), lines.end(), [&](const QString &line) {
                return line.startsWith(u"🚨 CLUELY DETECTED - Process: "_s + name + u" (seen at "_s);
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(reported(), 10'000);
    }

    void noticeOutcomes_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::addColumn<bool>("success");
        QTest::addColumn<std::optional<EmailError>>("error");
        QTest::addColumn<QString>("expected");
        const std::optional<EmailError> none, refused = EmailError{"Connection refused"};
        const QString st = "✗ Failed to send monitoring status: ",
                      to = " emailed to " + kInterviewer;
        const QString sc = "✗ Failed to send scan results: ";
        QTest::newRow("status") << false << true << none << "✓ Monitoring status" + to;
        QTest::newRow("status refused") << false << false << refused << st + "Connection refused";
        QTest::newRow("scan") << true << true << none << "✓ Scan results" + to;
        QTest::newRow("scan refused") << true << false << refused << sc + "Connection refused";
    }

    // Completions arrive on the service's own thread; the outcome still lands on
    // the window's thread, and the send finishing last has the last word.
    void noticeOutcomes()
    {
        QFETCH(bool, scan);
        QFETCH(bool, success);
        QFETCH(std::optional<EmailError>, error);
        QFETCH(QString, expected);
        scan ? m_session->handleScanResults({kApp}) : m_session->toggleMonitoring();
        scan ? m_session->toggleMonitoring() : m_session->handleScanResults({kApp});
        m_sender->sent.last().completion(!success, {});
        std::thread([&] { m_sender->sent.first().completion(success, error); }).join();
        QTRY_COMPARE(m_session->emailStatus(), expected);
        QTest::qWait(kSettleMs);
        QCOMPARE(m_session->emailStatus(), expected);
    }

    // A service that fails early calls back inside sendEmail; the outcome must
    // still be written later, not in the middle of the caller's step.
    void synchronousFailureIsPostedLater()
    {
        m_sender->onSend = [](const EmailCompletion &completion) { completion(false, {}); };
        m_session->toggleMonitoring();
        QCOMPARE(m_session->emailStatus(), QString());
        QTRY_COMPARE(m_session->emailStatus(), "✗ Failed to send monitoring status: Unknown error");
        QVERIFY(m_session->isMonitoring());
    }

    // Monitoring ticks with a detection that persists: OnChange e-mails the lines
    // only when their set changes within the run (or the last e-mail failed);
    // a manual scan always e-mails; EveryScan e-mails every tick.
    void scanResultsEmailsPolicy_data()
    {
        QTest::addColumn<ScanResultsEmails>("policy");
        QTest::addColumn<QList<QStringList>>("ticks");
        QTest::addColumn<qsizetype>("failedSend"); // this results e-mail fails; -1 for none
        QTest::addColumn<int>("emails");
        const QList<QStringList> persistent(30, {kApp});
        QList<QStringList> newLine = persistent, vanishing = persistent,
                           reordered(30, {kApp, kHelper});
        for (qsizetype i = 15; i < 30; ++i) {
            newLine[i] = {kApp, kHelper};
            reordered[i] = {kHelper, kApp};
        }
        vanishing[10] = {};
        using enum ScanResultsEmails;
        QTest::newRow("EveryScan") << EveryScan << persistent << qsizetype(-1) << 30;
        QTest::newRow("OnChange") << OnChange << persistent << qsizetype(-1) << 1;
        QTest::newRow("OnChange, a new line") << OnChange << newLine << qsizetype(-1) << 2;
        QTest::newRow("OnChange, other order") << OnChange << reordered << qsizetype(-1) << 1;
        QTest::newRow("OnChange, gone and back") << OnChange << vanishing << qsizetype(-1) << 1;
        QTest::newRow("OnChange, first failed") << OnChange << persistent << qsizetype(0) << 2;
    }

    void scanResultsEmailsPolicy()
    {
        QFETCH(ScanResultsEmails, policy);
        QFETCH(QList<QStringList>, ticks);
        QFETCH(qsizetype, failedSend);
        QFETCH(int, emails);
        m_session = makeSession({.scanResultsEmails = policy});
        const auto results = [&] { return sent(&Sent::subject).count("Nimbrel Scan Results"); };
        for (const QStringList &lines : std::as_const(ticks))
            m_scans->script.append({lines, {}});
        m_session->toggleMonitoring();
        for (int tick = 0; tick < ticks.size(); ++tick) {
            QVERIFY(QMetaObject::invokeMethod(timers().value(0), "timeout"));
            QCOMPARE(m_session->scanStatus(), u"Scanning..."_s);
            QTRY_COMPARE(m_scans->finished, tick + 1);
            QTRY_COMPARE(m_session->scanStatus(),
                         ticks[tick].isEmpty() ? u"No suspicious processes found."_s : kFound);
            // Each results e-mail completes before the next tick, as it would in 10 s.
            for (Sent &mail : m_sender->sent) {
                if (mail.completion && mail.subject == "Nimbrel Scan Results") {
                    const bool fails = results() - 1 == failedSend;
                    if (fails)
                        QTest::ignoreMessage(QtWarningMsg,
                                             "✗ Failed to send scan results: Unknown error");
                    std::exchange(mail.completion, {})(!fails, {});
                }
            }
            QCoreApplication::processEvents();
        }
        QCOMPARE(results(), emails);
        m_scans->script.append({ticks.last(), {}});
        m_session->performScan(); // manual
        QTRY_COMPARE(results(), emails + 1);
        // Notices are retried on passing failures; they must reach the interviewer.
        for (const Sent &mail : std::as_const(m_sender->sent))
            QCOMPARE(mail.retry, EmailSender::Retry::OnTransientFailure);
    }

    // Four ticks on clocks the test moves, a stall or a suspend after the first, the
    // context changing: the report holds the gap and its cause, each line once with
    // its scans, every change; a new environment is e-mailed once, never as results.
    void sessionReport_data()
    {
        QTest::addColumn<int>("monotonicSeconds"); // the clocks' advance between ticks 1 and 2
        QTest::addColumn<int>("boottimeSeconds");
        QTest::addColumn<QString>("gap"); // empty: none
        QTest::addColumn<QString>("summary");
        QTest::newRow("paused 40 s")
            << 40 << 40 << "10:00:10, 40 s: Nimbrel was paused or starved of CPU"
            << "Monitoring for 1 min · 4 scans · 1 gap";
        QTest::newRow("suspended 1 h")
            << 2 << 3600 << "10:00:10, 1 h 0 min 0 s: the machine was suspended"
            << "Monitoring for 1 h 0 min · 4 scans · 1 gap";
        QTest::newRow("late, no gap")
            << 20 << 20 << QString() << "Monitoring for under 1 min · 4 scans · no gaps";
    }

    void sessionReport()
    {
        QFETCH(int, monotonicSeconds);
        QFETCH(int, boottimeSeconds);
        QFETCH(QString, gap);
        QFETCH(QString, summary);
        ClockReading clock{0s, 0s, QDateTime(QDate(2026, 12, 7), QTime(10, 0))};
        m_session = makeSession({.clock = [&] { return clock; }});
        const ScanContext one{{"One monitor: 1920x1080"}, {}},
            two{{"Two monitors: 1920x1080, 800x600"}, {}},
            oneLimited{one.environment, {"native Wayland windows"}};
        m_session->setContextProbe([&] { return one; });
        m_scans->script = {
            {{kApp}, {}, one}, {{}, {}, two}, {{kApp}, {}, oneLimited}, {{kApp, kHelper}, {}, two}};
        m_session->toggleMonitoring();
        for (const auto &[monotonic, boottime] :
             {std::pair{10, 10}, {monotonicSeconds, boottimeSeconds}, {10, 10}, {10, 10}}) {
            clock = {clock.monotonic + seconds(monotonic), clock.boottime + seconds(boottime),
                     clock.wall.addSecs(boottime)};
            QVERIFY(QMetaObject::invokeMethod(timers().value(0), "timeout"));
            QTRY_VERIFY(m_scans->finished == m_scans->started &&
                        m_session->scanStatus() != "Scanning...");
        }
        QCOMPARE(m_session->sessionSummary(), summary);
        QCOMPARE(m_session->lastGap(), gap);
        m_session->toggleMonitoring();
        QCOMPARE(sent(&Sent::subject),
                 (QStringList{"Nimbrel Monitoring Started", "Nimbrel Scan Results",
                              "Nimbrel: Environment Changed", "Nimbrel Scan Results",
                              "Nimbrel Scan Results", "Nimbrel Monitoring Stopped"}));
        QVERIFY(m_sender->sent[2].text->contains("\nSession report\n"));
        const QString report = *m_sender->sent.last().text;
        for (const QString &expected : QStringList{
                 gap.isEmpty()
                     ? u"Gaps, where the 10 s loop did not run for more than 25 s:\n- none"_s
                     : "- " + gap,
                 kApp + " — first seen 10:00:10, last seen " +
                     QTime(10, 0, 30).addSecs(boottimeSeconds).toString(u"HH:mm:ss"_s) +
                     ", in 3 scans",
                 kHelper + " — first seen", "in 1 scan\n",
                 "environment: + Two monitors: 1920x1080, 800x600; − One monitor",
                 "not seen: + native Wayland windows",
                 "Environment at the start:\n- One monitor: 1920x1080",
                 u"Scans: 4 on the 10 s loop of %1 expected at one every 10 s"_s.arg(
                     (30 + boottimeSeconds) / 10) +
                     (gap.isEmpty()
                          ? u"\n"_s
                          : u"; about %1 fell into the gaps\n"_s.arg(boottimeSeconds / 10))})
            QVERIFY2(report.contains(expected), qPrintable(expected + "\n\nnot in\n\n" + report));
    }

    // While monitoring, the status e-mail comes at its interval with the report so far.
    void statusEmailsWhileMonitoring()
    {
        m_session = makeSession({.statusEmailInterval = 100ms});
        m_session->toggleMonitoring();
        const auto statuses = [&] {
            return sent(&Sent::subject).count("Nimbrel Monitoring Status");
        };
        QTRY_VERIFY(statuses() >= 2);
        QVERIFY(m_sender->sent[1].text->contains("\nSession report\n"));
        m_session->toggleMonitoring();
        QTest::qWait(kSettleMs); // none after the stop notice
        QCOMPARE(sent(&Sent::subject).last(), "Nimbrel Monitoring Stopped");
    }

    // Closing a window that monitors stops it as the button would, with its stop
    // notice; a scan still running then goes unseen. A second finish, or one while
    // idle, sends nothing.
    void finishingTheSessionSendsOneStopNotice()
    {
        const Gate gate = std::make_shared<QSemaphore>();
        m_scans->script.append({{kApp}, gate});
        m_session->toggleMonitoring();
        m_session->performScan();
        QTRY_COMPARE(m_scans->started, 1);
        QSignalSpy settled(m_session.get(), &MonitoringSession::noticesSettled);
        m_session->finishSession();
        m_session->finishSession();
        QVERIFY(!m_session->isMonitoring() && timers().isEmpty());
        QCOMPARE(sent(&Sent::subject),
                 (QStringList{"Nimbrel Monitoring Started", "Nimbrel Monitoring Stopped"}));
        QCOMPARE(m_session->noticesInFlight(), 2);
        gate->release();
        QTRY_COMPARE(m_scans->finished, 1);
        m_sender->sent[0].completion(true, {});
        m_sender->sent[1].completion(true, {});
        QTRY_COMPARE(settled.size(), 1);
        QCOMPARE(m_session->noticesInFlight(), 0);
        QCOMPARE(m_sender->sent.size(), 2); // no results e-mail from the late scan
        QCOMPARE(m_session->detectedProcesses()->count(), 0);

        std::unique_ptr<MonitoringSession> idle = makeSession();
        idle->finishSession();
        QCOMPARE(m_sender->sent.size(), 2);
        QCOMPARE(idle->noticesInFlight(), 0);
    }

    // A window closed while its scan and its e-mail are still out: both finish
    // unseen, without touching the freed window or any other one.
    void closedWindowDropsLateResults()
    {
        const Gate gate = std::make_shared<QSemaphore>();
        m_scans->script.append({{kApp}, gate});
        m_session->toggleMonitoring();
        m_session->performScan();
        QTRY_COMPARE(m_scans->started, 1);
        std::unique_ptr<MonitoringSession> other = makeSession();
        m_session.reset();

        gate->release();
        std::thread([&] { m_sender->sent.first().completion(true, {}); }).join();
        QTRY_COMPARE(m_scans->finished, 1);
        QTest::qWait(kSettleMs);
        QCOMPARE(m_sender->sent.size(), 1); // no scan-results e-mail from the closed window
        QVERIFY(other->scanStatus() == "Idle" && other->emailStatus().isEmpty() &&
                other->detectedProcesses()->count() == 0);
        m_session = std::move(other);
    }
};

QTEST_MAIN(TestMonitoringSession)
#include "tst_monitoringsession.moc"
