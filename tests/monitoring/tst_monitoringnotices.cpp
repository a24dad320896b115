#include "monitoring/MonitoringNotices.h"

#include <QTest>

using namespace MonitoringNotices;

// The notices' subjects and bodies, compared byte for byte with the texts the
// interviewer's mail client receives.
class TestMonitoringNotices : public QObject
{
    Q_OBJECT

private slots:
    void subjects()
    {
        QCOMPARE(statusSubject(true), QStringLiteral("Nimbrel Monitoring Started"));
        QCOMPARE(statusSubject(false), QStringLiteral("Nimbrel Monitoring Stopped"));
        QCOMPARE(scanResultsSubject(), QStringLiteral("Nimbrel Scan Results"));
    }

    void statusBodies_data()
    {
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("expected");

        const QString head = QStringLiteral(
            "<div style=\"font-family: Arial, sans-serif; max-width: 600px; margin: 0 auto;\">\n"
            "    <h2 style=\"color: #333;\">Nimbrel Security Monitor</h2>\n"
            "    <div style=\"background-color: ");
        const QString bannerStyle =
            QStringLiteral("; color: white; padding: 15px; border-radius: 5px; margin: 20px 0;\">\n"
                           "        <h3 style=\"margin: 0;\">Monitoring ");
        const QString sentence = QStringLiteral(
            "</h3>\n    </div>\n    <p>The security monitoring system has been <strong>");
        const QString at = QStringLiteral("</strong> at <strong>");
        const QString moment = QStringLiteral("12/6/26 10:56 AM");
        const QString close = QStringLiteral("</strong>.</p>\n    ");
        const QString foot = QStringLiteral(
            "\n    <hr style=\"margin: 20px 0; border: 1px solid #eee;\">\n"
            "    <p style=\"color: #666; font-size: 12px;\">This is an automated message from "
            "Nimbrel Security Scanner.</p>\n</div>");

        QTest::newRow("started")
            << true
            << head + "#28a745" + bannerStyle + "Started" + sentence + "started" + at + moment +
                   close +
                   "<p>The system will now scan for suspicious processes every 10 seconds and "
                   "notify you of any detections.</p>" +
                   foot;
        QTest::newRow("stopped")
            << false
            << head + "#dc3545" + bannerStyle + "Stopped" + sentence + "stopped" + at + moment +
                   close +
                   "<p>The system is no longer actively monitoring for suspicious "
                   "processes.</p>" +
                   foot;
    }

    void statusBodies()
    {
        QFETCH(bool, started);
        QFETCH(QString, expected);
        QCOMPARE(statusBody(started, QStringLiteral("12/6/26 10:56 AM")), expected);
    }

    void scanResultsBodies_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("joined");

        const QString app = QStringLiteral("🚨 CLUELY DETECTED - App: Cluely");
        const QString process = QStringLiteral("🚨 CLUELY DETECTED - Process: cluely-helper");
        QTest::newRow("one line, no separator") << QStringList{app} << app;
        QTest::newRow("two lines, one separator")
            << QStringList{app, process} << app + "<br>" + process;
        QTest::newRow("three lines in order")
            << QStringList{process, app, QStringLiteral("Process: KeyLogger")}
            << process + "<br>" + app + "<br>Process: KeyLogger";
        QTest::newRow("non-ASCII names kept") << QStringList{QStringLiteral("App: Сluely Ünïcode")}
                                              << QStringLiteral("App: Сluely Ünïcode");
    }

    void scanResultsBodies()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, joined);
        QCOMPARE(scanResultsBody(lines),
                 "<p>Suspicious processes detected during scan:</p>\n<p>" + joined + "</p>");
    }

    // A process name is chosen by whoever runs the process, so markup in it must
    // reach the interviewer as text, never as links or formatting.
    void scanResultsEscapeEveryLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("escaped");

        QTest::newRow("tag") << QStringLiteral("Process: <a href=\"http://x\">cluely</a>")
                             << QStringLiteral(
                                    "Process: &lt;a href=&quot;http://x&quot;&gt;cluely&lt;/a&gt;");
        QTest::newRow("ampersand first, no double escaping")
            << QStringLiteral("App: A&amp;B") << QStringLiteral("App: A&amp;amp;B");
        QTest::newRow("apostrophe") << QStringLiteral("App: it's' onload='x")
                                    << QStringLiteral("App: it&#39;s&#39; onload=&#39;x");
        QTest::newRow("line break markup")
            << QStringLiteral("Process: a<br>b") << QStringLiteral("Process: a&lt;br&gt;b");
        QTest::newRow("plain text untouched")
            << QStringLiteral("🚨 CLUELY DETECTED - Bundle: com.cluely.app (App: Cluely)")
            << QStringLiteral("🚨 CLUELY DETECTED - Bundle: com.cluely.app (App: Cluely)");
    }

    void scanResultsEscapeEveryLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, escaped);
        QCOMPARE(escapeHtml(line), escaped);

        // Every line is escaped, not only the first, and the separators stay markup.
        const QString body = scanResultsBody({QStringLiteral("App: Cluely"), line, line});
        QCOMPARE(body, "<p>Suspicious processes detected during scan:</p>\n<p>App: Cluely<br>" +
                           escaped + "<br>" + escaped + "</p>");
    }
};

QTEST_APPLESS_MAIN(TestMonitoringNotices)
#include "tst_monitoringnotices.moc"
