#include "InboxServer.h"
#include "NimbrelWindow.h"
#include "WindowDriving.h"
#include "XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kApiKey = QStringLiteral("e2e-key");
const QString kInterviewer = QStringLiteral("interviewer@example.com");
const QString kHelperLine = QStringLiteral("🚨 CLUELY DETECTED - Process: cluely-helper");

} // namespace

// The real nimbrel binary in a real X window on its own Xvfb display, driven by
// xdotool's keyboard and mouse events, against the local inbox: verification, a
// manual scan that finds a running cluely-helper, monitoring with a tick, and
// stopping. Screenshots of every step are saved.
class TestEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_layout;
    XvfbServer m_xvfb;
    std::unique_ptr<InboxServer> m_inbox;
    QProcess m_helper;
    QProcess m_windowManager;
    NimbrelWindow m_app;
    QImage m_dashboard; // as it first came to rest
    int m_shots = 0;

    // Each step waits for what it shows before its picture is taken.
    void shoot(const QString &step)
    {
        QDir().mkpath(NIMBREL_E2E_SCREENSHOTS);
        const QString name = QStringLiteral("%1/%2-%3.png")
                                 .arg(QStringLiteral(NIMBREL_E2E_SCREENSHOTS))
                                 .arg(++m_shots, 2, 10, QLatin1Char('0'))
                                 .arg(step);
        QVERIFY2(NimbrelWindow::screen().save(name), qPrintable(name));
    }

    // The index-th e-mail with this subject, oldest first, once it has arrived;
    // empty on time-out.
    QJsonObject waitForEmail(const QString &subject, int index, int timeoutMs)
    {
        QElapsedTimer clock;
        for (clock.start(); clock.elapsed() < timeoutMs; QTest::qWait(200)) {
            const QJsonArray emails = m_inbox->emails(); // newest first
            for (qsizetype i = emails.size() - 1, seen = 0; i >= 0; --i)
                if (emails[i]["subject"] == subject && seen++ == index)
                    return emails[i].toObject();
        }
        return {};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_layout.isValid());
        QVERIFY2(m_xvfb.start({1024, 800}), "Xvfb did not start");
        // Every process started from here on, xdotool and the application too, uses it.
        qputenv("DISPLAY", m_xvfb.display().toLocal8Bit());

        m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = kApiKey});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));

        // A harmless process whose executable is named like the assistant's helper.
        const QString helper = m_layout.filePath("cluely-helper");
        QVERIFY(QFile::copy("/bin/sleep", helper));
        m_helper.start(helper, {"600"});
        QVERIFY(m_helper.waitForStarted());

        QVERIFY2(m_app.start({.apiKey = kApiKey, .baseUrl = m_inbox->baseUrl()}),
                 qPrintable(m_app.error()));
    }

    void cleanupTestCase()
    {
        for (QProcess *process : {&m_windowManager, &m_helper}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    void verifiesTheInterviewer()
    {
        // The window has drawn; its address field shows before anything is typed.
        QVERIFY(m_app.waitForControl(kFieldFill, kFieldWidth));
        shoot("verification-screen");
        QVERIFY2(m_app.click(kFieldFill, kFieldWidth), qPrintable(m_app.error()));
        QVERIFY(m_app.type(kInterviewer));
        shoot("address-typed");
        // From the field, Tab reaches the send button and Space presses it.
        QVERIFY(m_app.keys({"Tab", "space"}));
        const QJsonObject codeEmail = waitForEmail("Nimbrel Verification Code", 0, 15000);
        QVERIFY2(!codeEmail.isEmpty(), "no verification e-mail arrived");
        QCOMPARE(codeEmail["to"][0].toString(), kInterviewer);
        const QRegularExpressionMatch code =
            QRegularExpression("\\b(\\d{6})\\b").match(codeEmail["html"].toString());
        QVERIFY(code.hasMatch());
        // The code field appears once the application has heard the send succeed.
        QVERIFY2(m_app.waitForControl(kFieldFill, kFieldWidth, 1), "no code field");
        shoot("code-sent");

        QVERIFY2(m_app.click(kFieldFill, kFieldWidth, 1), qPrintable(m_app.error()));
        QVERIFY(m_app.type(code.captured(1)));
        shoot("code-typed");
        // Tab reaches Verify Code below the code field.
        QVERIFY(m_app.keys({"Tab", "space"}));
        // The dashboard replaces the card: its green start button appears.
        QVERIFY2(m_app.waitForControl(kStartGreen, kButtonWidth), "no dashboard");
        // Once the cross-fade is over, no field is left.
        m_dashboard = NimbrelWindow::waitForStillScreen();
        QVERIFY2(!m_dashboard.isNull(), "the dashboard never came to rest");
        QVERIFY(controls(m_dashboard, kFieldFill, kFieldWidth).isEmpty());
        shoot("dashboard");
    }

    void manualScanReportsTheHelper()
    {
        const qsizetype before = m_inbox->emails().size();
        // The dashboard opens with the keyboard focus on Manual Scan.
        QVERIFY(m_app.keys({"space"}));
        const QJsonObject results = waitForEmail("Nimbrel Scan Results", 0, 15000);
        QVERIFY2(results["html"].toString().contains(kHelperLine),
                 qPrintable(results["html"].toString()));
        QCOMPARE(results["to"][0].toString(), kInterviewer);
        QCOMPARE(m_inbox->emails().size(), before + 1);
        // The detections card has come up below the idle dashboard.
        QTRY_VERIFY_WITH_TIMEOUT(NimbrelWindow::waitForStillScreen() != m_dashboard, 10000);
        shoot("manual-scan-detections");
    }

    void monitoringTicksAndStops()
    {
        QVERIFY2(m_app.click(kStartGreen, kButtonWidth), qPrintable(m_app.error()));
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Started", 0, 10000).isEmpty(),
                 "no started notice");
        // The start button has turned into the red stop button.
        QVERIFY2(m_app.waitForControl(kStopRed, kButtonWidth), "no stop button");
        shoot("monitoring-started");

        // The first tick comes 10 s after the start and finds the helper again. The
        // clock starts once the click is delivered and the inbox is polled, so the
        // bounds leave room on both sides while telling a tick from a scan at start.
        const QJsonObject tick = waitForEmail("Nimbrel Scan Results", 1, 17000);
        const qint64 tickAfterMs = sinceStart.elapsed();
        QVERIFY2(!tick.isEmpty(), "no scan-results e-mail from the first monitoring tick");
        qInfo("first monitoring scan e-mail %lld ms after the start", tickAfterMs);
        QVERIFY2(tickAfterMs >= 8000 && tickAfterMs <= 16000,
                 qPrintable(QString::number(tickAfterMs)));
        QVERIFY(tick["html"].toString().contains(kHelperLine));
        shoot("monitoring-tick");

        QVERIFY2(m_app.click(kStopRed, kButtonWidth), qPrintable(m_app.error()));
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Stopped", 0, 10000).isEmpty(),
                 "no stopped notice");
        QVERIFY2(m_app.waitForControl(kStartGreen, kButtonWidth), "no start button");
        shoot("monitoring-stopped");

        QStringList subjects;
        for (const QJsonValue &email : m_inbox->emails()) {
            subjects.prepend(email["subject"].toString()); // oldest first
            QCOMPARE(email["to"][0].toString(), kInterviewer);
        }
        QCOMPARE(subjects, (QStringList{"Nimbrel Verification Code", "Nimbrel Scan Results",
                                        "Nimbrel Monitoring Started", "Nimbrel Scan Results",
                                        "Nimbrel Monitoring Stopped"}));
    }

    // Closed by the desktop while monitoring: a window manager's close request
    // (WM_DELETE_WINDOW) ends the application only after its stop notice.
    void windowManagerCloseSendsTheStopNotice()
    {
        QVERIFY2(m_app.click(kStartGreen, kButtonWidth), qPrintable(m_app.error()));
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Started", 1, 10000).isEmpty(),
                 "no second started notice");
        m_windowManager.start("openbox", {"--sm-disable"});
        QVERIFY2(m_windowManager.waitForStarted(), qPrintable(m_windowManager.errorString()));
        // wmctrl -m answers once a window manager has taken the screen.
        QTRY_VERIFY_WITH_TIMEOUT(run("wmctrl", {"-m"}).has_value(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(run("xdotool", {"search", "--name", "^Nimbrel$"}), 10000);
        shoot("window-manager");
        QVERIFY(run("wmctrl", {"-c", "Nimbrel"}));
        QVERIFY2(m_app.waitForExit(15000), "the application did not end");
        QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.exitCode(), 0);
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Stopped", 1, 10000).isEmpty(),
                 "no stop notice after the window manager closed the window");
        qsizetype stops = 0;
        for (const QJsonValue &email : m_inbox->emails())
            stops += email["subject"] == "Nimbrel Monitoring Stopped" ? 1 : 0;
        QCOMPARE(stops, 2);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
