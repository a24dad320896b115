#include "InboxServer.h"
#include "WindowDriving.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kApiKey = QStringLiteral("e2e-key");
const QString kInterviewer = QStringLiteral("interviewer@example.com");
const QString kHelperLine = QStringLiteral("🚨 CLUELY DETECTED - Process: cluely-helper");

bool xdotool(const QStringList &arguments)
{
    return run("xdotool", arguments).has_value();
}

} // namespace

// The real nimbrel binary in a real X window on its own Xvfb display, driven by
// xdotool's keyboard and mouse events, against the local inbox: verification, a
// manual scan that finds a running cluely-helper, monitoring with a tick, and
// stopping. Screenshots of every step are saved.
class TestEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_layout;
    QProcess m_xvfb;
    std::unique_ptr<InboxServer> m_inbox;
    QProcess m_helper;
    QProcess m_app;
    QProcess m_windowManager;
    int m_shots = 0;

    QImage screen()
    {
        const std::optional<QByteArray> png = run("import", {"-window", "root", "png:-"});
        return png ? QImage::fromData(*png, "PNG") : QImage();
    }

    void shoot(const QString &step)
    {
        QTest::qWait(400); // let animations settle before the picture
        QDir().mkpath(NIMBREL_E2E_SCREENSHOTS);
        const QString name = QStringLiteral("%1/%2-%3.png")
                                 .arg(QStringLiteral(NIMBREL_E2E_SCREENSHOTS))
                                 .arg(++m_shots, 2, 10, QLatin1Char('0'))
                                 .arg(step);
        QVERIFY2(screen().save(name), qPrintable(name));
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

    bool click(const QColor &colour, int minWidth, int index = 0)
    {
        const QList<QPoint> found = controls(screen(), colour, minWidth);
        if (found.size() <= index)
            return false;
        // The pointer settles first: a press in the same burst as the move can
        // reach the window before it has noticed the pointer over the control.
        const QPoint point = found.at(index);
        if (!xdotool(
                {"mousemove", "--sync", QString::number(point.x()), QString::number(point.y())}))
            return false;
        QTest::qWait(150);
        return xdotool({"click", "1"});
    }

    // A short delay between keys, as a person types; a burst can lose keys.
    bool type(const QString &text) { return xdotool({"type", "--delay", "60", text}); }
    bool keys(const QStringList &names)
    {
        return xdotool(QStringList{"key", "--delay", "80"} + names);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_layout.isValid());
        // -displayfd: Xvfb picks a free display and prints its number, so
        // parallel runs and other displays never collide.
        m_xvfb.start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1024x800x24", "-nolisten", "tcp"});
        QVERIFY2(m_xvfb.waitForStarted(5000), qPrintable(m_xvfb.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine() || m_xvfb.state() != QProcess::Running,
                                 10000);
        const QByteArray display = ':' + m_xvfb.readLine().trimmed();
        QVERIFY2(display.size() > 1, m_xvfb.readAllStandardError().constData());
        // Every process started from here on, xdotool and the application too, uses it.
        qputenv("DISPLAY", display);
        qputenv("QT_QPA_PLATFORM", "xcb");

        m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = kApiKey});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));
        // The application reads Config.plist beside its executable.
        const QString app = m_layout.filePath("nimbrel");
        QVERIFY(QFile::copy(NIMBREL_APP_PATH, app));
        QVERIFY(m_inbox->writeConfigPlist(m_layout.filePath("Config.plist"), kApiKey));

        // A harmless process whose executable is named like the assistant's helper.
        const QString helper = m_layout.filePath("cluely-helper");
        QVERIFY(QFile::copy("/bin/sleep", helper));
        m_helper.start(helper, {"600"});
        QVERIFY(m_helper.waitForStarted());

        m_app.setProcessChannelMode(QProcess::ForwardedChannels);
        m_app.start(app, {});
        QVERIFY2(m_app.waitForStarted(), qPrintable(m_app.errorString()));
        const std::optional<QByteArray> windows =
            run("xdotool",
                {"search", "--sync", "--onlyvisible", "--pid", QString::number(m_app.processId())});
        QVERIFY2(windows, "no window of the application appeared");
        // No window manager runs: the window gets the keyboard focus this way.
        QVERIFY(
            xdotool({"windowfocus", "--sync", QString::fromLatin1(windows->split('\n').first())}));
    }

    void cleanupTestCase()
    {
        for (QProcess *process : {&m_app, &m_windowManager, &m_helper, &m_xvfb}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    void verifiesTheInterviewer()
    {
        // Shown is not yet drawn: with no shader cache the first frame takes a while.
        QTRY_VERIFY_WITH_TIMEOUT(!controls(screen(), kFieldFill, kFieldWidth).isEmpty(), 15000);
        shoot("verification-screen");
        QVERIFY(click(kFieldFill, kFieldWidth));
        QVERIFY(type(kInterviewer));
        shoot("address-typed");
        // From the field, Tab reaches the send button and Space presses it.
        QVERIFY(keys({"Tab", "space"}));
        const QJsonObject codeEmail = waitForEmail("Nimbrel Verification Code", 0, 15000);
        QVERIFY2(!codeEmail.isEmpty(), "no verification e-mail arrived");
        QCOMPARE(codeEmail["to"][0].toString(), kInterviewer);
        const QRegularExpressionMatch code =
            QRegularExpression("\\b(\\d{6})\\b").match(codeEmail["html"].toString());
        QVERIFY(code.hasMatch());
        // The code field appears once the application has heard the send succeed.
        QTRY_COMPARE_WITH_TIMEOUT(controls(screen(), kFieldFill, kFieldWidth).size(), 2, 5000);
        shoot("code-sent");

        QVERIFY(click(kFieldFill, kFieldWidth, 1));
        QVERIFY(type(code.captured(1)));
        shoot("code-typed");
        // Tab reaches Verify Code below the code field.
        QVERIFY(keys({"Tab", "space"}));
        // The dashboard replaces the card: its green start button appears.
        QTRY_VERIFY_WITH_TIMEOUT(!controls(screen(), kStartGreen, kButtonWidth).isEmpty(), 5000);
        QVERIFY(controls(screen(), kFieldFill, kFieldWidth).isEmpty());
        shoot("dashboard");
    }

    void manualScanReportsTheHelper()
    {
        const qsizetype before = m_inbox->emails().size();
        // The dashboard opens with the keyboard focus on Manual Scan.
        QVERIFY(keys({"space"}));
        const QJsonObject results = waitForEmail("Nimbrel Scan Results", 0, 15000);
        QVERIFY2(results["html"].toString().contains(kHelperLine),
                 qPrintable(results["html"].toString()));
        QCOMPARE(results["to"][0].toString(), kInterviewer);
        QCOMPARE(m_inbox->emails().size(), before + 1);
        shoot("manual-scan-detections");
    }

    void monitoringTicksAndStops()
    {
        QVERIFY(click(kStartGreen, kButtonWidth));
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Started", 0, 10000).isEmpty(),
                 "no started notice");
        // The start button has turned into the red stop button.
        QTRY_VERIFY_WITH_TIMEOUT(!controls(screen(), kStopRed, kButtonWidth).isEmpty(), 3000);
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

        QVERIFY(click(kStopRed, kButtonWidth));
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Stopped", 0, 10000).isEmpty(),
                 "no stopped notice");
        QTRY_VERIFY_WITH_TIMEOUT(!controls(screen(), kStartGreen, kButtonWidth).isEmpty(), 3000);
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
        QVERIFY(click(kStartGreen, kButtonWidth));
        QVERIFY2(!waitForEmail("Nimbrel Monitoring Started", 1, 10000).isEmpty(),
                 "no second started notice");
        m_windowManager.start("openbox", {"--sm-disable"});
        QVERIFY2(m_windowManager.waitForStarted(), qPrintable(m_windowManager.errorString()));
        // wmctrl -m answers once a window manager has taken the screen.
        QTRY_VERIFY_WITH_TIMEOUT(run("wmctrl", {"-m"}).has_value(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(xdotool({"search", "--name", "^Nimbrel$"}), 10000);
        shoot("window-manager");
        QVERIFY(run("wmctrl", {"-c", "Nimbrel"}));
        QVERIFY2(m_app.waitForFinished(15000), "the application did not end");
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
