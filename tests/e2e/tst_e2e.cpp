#include "ColourBlocks.h"
#include "InboxServer.h"
#include "VirtualDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

// Fill colours of the controls the test presses: the palette's primaryBlue,
// accentGreen and accentRed, and the text fields' fill.
const QColor kPrimaryBlue(51, 102, 204);
const QColor kAccentGreen(77, 204, 102);
const QColor kAccentRed(230, 77, 77);
const QColor kFieldFill(242, 242, 250);

// Wider than any icon or gradient band of one colour, narrower than any control.
constexpr int kFieldMinWidth = 400;
constexpr int kButtonMinWidth = 100;

QString plist(const QString &baseUrl)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                          "<plist version=\"1.0\">\n<dict>\n"
                          "    <key>ResendAPIKey</key>\n    <string>%1</string>\n"
                          "    <key>ResendAPIBaseURL</key>\n    <string>%2</string>\n"
                          "</dict>\n</plist>\n")
        .arg(kApiKey, baseUrl);
}

QStringList subjects(const QJsonArray &emails)
{
    QStringList result;
    for (const QJsonValue &email : emails)
        result.prepend(email[QStringLiteral("subject")].toString()); // oldest first
    return result;
}

} // namespace

// The real nimbrel binary in a real X window, driven by keyboard and mouse
// events, against the local inbox: verification, a manual scan that finds a
// running cluely-helper, monitoring with its ticks, and stopping.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_layout;
    std::unique_ptr<VirtualDesktop> m_desktop;
    std::unique_ptr<InboxServer> m_inbox;
    QProcess m_helper;
    QProcess m_app;
    QString m_window;
    int m_shots = 0;

    QImage shoot(const QString &step)
    {
        QTest::qWait(400); // let animations settle before the picture
        const QImage image = m_desktop->screenshot();
        if (!image.isNull()) {
            QDir().mkpath(QStringLiteral(NIMBREL_E2E_SCREENSHOTS));
            image.save(QStringLiteral("%1/%2-%3.png")
                           .arg(QStringLiteral(NIMBREL_E2E_SCREENSHOTS))
                           .arg(++m_shots, 2, 10, QLatin1Char('0'))
                           .arg(step));
        }
        return image;
    }

    // Waits for the inbox to hold an e-mail with this subject beyond the first `skip`
    // of them; returns it, or an empty object on time-out.
    QJsonObject waitForEmail(const QString &subject, int skip, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            int seen = 0;
            const QJsonArray emails = m_inbox->emails();
            for (auto it = emails.end(); it != emails.begin();) {
                const QJsonObject email = (--it)->toObject();
                if (email[QStringLiteral("subject")].toString() == subject && seen++ == skip)
                    return email;
            }
            QTest::qWait(200);
        }
        return {};
    }

    bool clickBlock(const QColor &colour, int minWidth, int index, const QString &what)
    {
        const QList<QRect> blocks = colourBlocks(m_desktop->screenshot(), colour, minWidth);
        if (blocks.size() <= index) {
            qWarning().noquote() << "no" << what << "on screen; blocks:" << blocks;
            return false;
        }
        const QPoint point = pressPoint(blocks.at(index));
        return m_desktop->click(point.x(), point.y());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_layout.isValid());
        m_desktop = std::make_unique<VirtualDesktop>();
        QVERIFY2(m_desktop->isRunning(), qPrintable(m_desktop->errorString()));
        m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = kApiKey});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));

        // The application reads Config.plist beside its executable.
        const QString app = m_layout.filePath(QStringLiteral("nimbrel"));
        QVERIFY(QFile::copy(QStringLiteral(NIMBREL_APP_PATH), app));
        QFile config(m_layout.filePath(QStringLiteral("Config.plist")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(plist(m_inbox->baseUrl().toString()).toUtf8());
        config.close();

        // A harmless process whose executable is named like the assistant's helper.
        const QString helper = m_layout.filePath(QStringLiteral("cluely-helper"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), helper));
        m_helper.start(helper, {QStringLiteral("600")});
        QVERIFY(m_helper.waitForStarted());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_desktop->display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_app.setProcessEnvironment(environment);
        m_app.setProcessChannelMode(QProcess::ForwardedChannels);
        m_app.start(app, {});
        QVERIFY2(m_app.waitForStarted(), qPrintable(m_app.errorString()));
        const std::optional<QString> window = m_desktop->waitForWindow(m_app.processId());
        QVERIFY2(window, qPrintable(m_desktop->errorString()));
        m_window = *window;
    }

    void cleanupTestCase()
    {
        for (QProcess *process : {&m_app, &m_helper}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        m_inbox.reset();
        m_desktop.reset();
    }

    void verifiesTheInterviewer()
    {
        shoot(QStringLiteral("verification-screen"));
        QVERIFY2(m_desktop->focus(m_window), qPrintable(m_desktop->errorString()));
        QVERIFY(clickBlock(kFieldFill, kFieldMinWidth, 0, QStringLiteral("e-mail field")));
        QVERIFY(m_desktop->type(kInterviewer));
        shoot(QStringLiteral("address-typed"));
        // From the field, Tab reaches the send button and Space presses it.
        QVERIFY(m_desktop->key(QStringLiteral("Tab")));
        QVERIFY(m_desktop->key(QStringLiteral("space")));

        const QJsonObject codeEmail =
            waitForEmail(QStringLiteral("Nimbrel Verification Code"), 0, 15000);
        QVERIFY2(!codeEmail.isEmpty(), "no verification e-mail arrived");
        QCOMPARE(codeEmail[QStringLiteral("to")].toArray().first().toString(), kInterviewer);
        const QRegularExpressionMatch code =
            QRegularExpression(QStringLiteral("\\b(\\d{6})\\b"))
                .match(codeEmail[QStringLiteral("html")].toString());
        QVERIFY(code.hasMatch());
        shoot(QStringLiteral("code-sent"));

        QVERIFY(clickBlock(kFieldFill, kFieldMinWidth, 1, QStringLiteral("code field")));
        QVERIFY(m_desktop->type(code.captured(1)));
        shoot(QStringLiteral("code-typed"));
        // The verify button is the blue block below the code field.
        const QList<QRect> fields =
            colourBlocks(m_desktop->screenshot(), kFieldFill, kFieldMinWidth);
        QCOMPARE(fields.size(), 2);
        QList<QRect> buttons;
        for (const QRect &block :
             colourBlocks(m_desktop->screenshot(), kPrimaryBlue, kButtonMinWidth))
            if (block.top() > fields.at(1).bottom())
                buttons.append(block);
        QVERIFY(!buttons.isEmpty());
        QVERIFY(m_desktop->click(pressPoint(buttons.first()).x(), pressPoint(buttons.first()).y()));

        shoot(QStringLiteral("verify-pressed"));
        // The dashboard replaces the card: its green start button appears.
        QTRY_VERIFY_WITH_TIMEOUT(
            !colourBlocks(m_desktop->screenshot(), kAccentGreen, kButtonMinWidth).isEmpty(), 5000);
        QVERIFY(colourBlocks(m_desktop->screenshot(), kFieldFill, kFieldMinWidth).isEmpty());
        shoot(QStringLiteral("dashboard"));
    }

    void manualScanReportsTheHelper()
    {
        const int before = m_inbox->emails().size();
        // The dashboard opens with the keyboard focus on Manual Scan.
        QVERIFY(m_desktop->key(QStringLiteral("space")));
        const QJsonObject results = waitForEmail(QStringLiteral("Nimbrel Scan Results"), 0, 15000);
        QVERIFY2(!results.isEmpty(), "no scan-results e-mail after Manual Scan");
        QVERIFY2(results[QStringLiteral("html")].toString().contains(kHelperLine),
                 qPrintable(results[QStringLiteral("html")].toString()));
        QCOMPARE(results[QStringLiteral("to")].toArray().first().toString(), kInterviewer);
        QCOMPARE(m_inbox->emails().size(), before + 1);
        shoot(QStringLiteral("manual-scan-detections"));
    }

    void monitoringTicksAndStops()
    {
        QVERIFY(
            clickBlock(kAccentGreen, kButtonMinWidth, 0, QStringLiteral("Start Monitor button")));
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY2(!waitForEmail(QStringLiteral("Nimbrel Monitoring Started"), 0, 10000).isEmpty(),
                 "no started notice");
        // The dashboard's start button has turned into the red stop button.
        QTRY_VERIFY_WITH_TIMEOUT(
            !colourBlocks(m_desktop->screenshot(), kAccentRed, kButtonMinWidth).isEmpty(), 3000);
        shoot(QStringLiteral("monitoring-started"));

        // The first tick comes 10 s after the start; its scan finds the helper again. The
        // clock above starts only once the click has been delivered, and the inbox is polled,
        // so the bounds leave room on both sides while still telling a tick from a scan at start.
        const QJsonObject tick = waitForEmail(QStringLiteral("Nimbrel Scan Results"), 1, 17000);
        QVERIFY2(!tick.isEmpty(), "no scan-results e-mail from the first monitoring tick");
        const qint64 tickAfterMs = sinceStart.elapsed();
        qInfo("first monitoring scan e-mail %lld ms after the start", tickAfterMs);
        QVERIFY2(tickAfterMs >= 8000 && tickAfterMs <= 16000,
                 qPrintable(QString::number(tickAfterMs)));
        QVERIFY(tick[QStringLiteral("html")].toString().contains(kHelperLine));
        shoot(QStringLiteral("monitoring-tick"));

        QVERIFY(clickBlock(kAccentRed, kButtonMinWidth, 0, QStringLiteral("Stop Monitor button")));
        QVERIFY2(!waitForEmail(QStringLiteral("Nimbrel Monitoring Stopped"), 0, 10000).isEmpty(),
                 "no stopped notice");
        QTRY_VERIFY_WITH_TIMEOUT(
            !colourBlocks(m_desktop->screenshot(), kAccentGreen, kButtonMinWidth).isEmpty(), 3000);
        shoot(QStringLiteral("monitoring-stopped"));

        const QStringList sent = subjects(m_inbox->emails());
        QCOMPARE(sent.first(), QStringLiteral("Nimbrel Verification Code"));
        QCOMPARE(sent.last(), QStringLiteral("Nimbrel Monitoring Stopped"));
        QVERIFY(sent.indexOf(QStringLiteral("Nimbrel Monitoring Started")) <
                sent.lastIndexOf(QStringLiteral("Nimbrel Scan Results")));
        for (const QJsonValue &email : m_inbox->emails())
            QCOMPARE(email[QStringLiteral("to")].toArray().first().toString(), kInterviewer);
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
