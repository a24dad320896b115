// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The real nimbrel under Xvfb with a Config.plist naming the organisation's
// relay, which sends through nimbrel-inbox: the interviewer verified,
// monitoring kept alive by its heartbeats, a finding reported, and after
// kill -9 the relay tells the interviewer that Nimbrel stopped reporting.
#include "HelperPrograms.h"
#include "InboxServer.h"
#include "NimbrelWindow.h"
#include "RelayProcess.h"
#include "XvfbServer.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestRelaySession : public QObject
{
    Q_OBJECT

private slots:
    void monitoredThroughTheRelayAndMissedWhenKilled()
    {
        XvfbServer xvfb;
        QVERIFY2(xvfb.start({1000, 900}), "Xvfb did not start");
        qputenv("DISPLAY", xvfb.display().toLocal8Bit());
        QTemporaryDir dir;
        QFile key(dir.filePath(u"key"_s));
        QVERIFY(key.open(QIODevice::WriteOnly) && key.write("org-key\n") > 0);
        key.close();
        InboxServer inbox({.apiKey = u"org-key"_s});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QString database = u"sqlite:"_s + dir.filePath(u"relay.db"_s);
        const QString code = RelayProcess::newSession(database, u"jane@example.com"_s);
        QVERIFY(!code.isEmpty());
        RelayProcess relay({u"--provider-url"_s, inbox.baseUrl().toString(),
                            u"--provider-key-file"_s, key.fileName(), u"--sender"_s,
                            u"interviews@example.com"_s, u"--database"_s, database});
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        const auto mail = [&](const QString &subject) {
            for (const QJsonValue email : inbox.emails())
                if (email[u"subject"_s].toString() == subject)
                    return email[u"text"_s].toString();
            return QString();
        };
        const auto keys = [](const QStringList &keys) { return bool(run(u"xdotool"_s, keys)); };

        // A process named as the tool, for the monitoring to find.
        const QString tool = dir.filePath(u"Cluely"_s);
        QVERIFY(QFile::copy(u"/bin/sleep"_s, tool));
        QProcess running;
        running.start(tool, {u"300"_s});
        QVERIFY(running.waitForStarted());

        NimbrelWindow app;
        QProcessEnvironment environment;
        environment.insert(u"XDG_STATE_HOME"_s, dir.filePath(u"state"_s));
        const QByteArray config =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>RelayURL</key><string>" + relay.baseUrl().toString().toUtf8() +
            "</string><key>SessionCode</key><string>" + code.toUtf8() + "</string></dict></plist>\n";
        QVERIFY2(app.start({.apiKey = {}, .baseUrl = {}, .environment = environment, .configPlist = config}),
                 qPrintable(app.error()));
        QVERIFY(keys({u"type"_s, u"jane@example.com"_s}) &&
                keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!mail(u"Nimbrel Verification Code"_s).isEmpty(), 20'000);
        static const QRegularExpression sixDigits(u"\\b\\d{6}\\b"_s);
        QVERIFY(keys({u"type"_s,
                      sixDigits.match(mail(u"Nimbrel Verification Code"_s)).captured()}) &&
                keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QVERIFY(!NimbrelWindow::waitForStillScreen().isNull());
        QVERIFY(keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!mail(u"Nimbrel Monitoring Started"_s).isEmpty(), 20'000);
        QTRY_VERIFY_WITH_TIMEOUT(mail(u"Nimbrel Scan Results"_s).contains(u"Process: Cluely"_s),
                                 30'000);

        // Heartbeats keep the session alive past the relay's 35 s of silence...
        QTest::qWait(40'000); // the silence under test, not a wait for a condition
        QVERIFY(mail(u"Nimbrel Stopped Reporting"_s).isEmpty());
        // ...and a killed Nimbrel is missed within 40 s.
        ::kill(pid_t(app.processId()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!mail(u"Nimbrel Stopped Reporting"_s).isEmpty(), 45'000);
        for (const QJsonValue email : inbox.emails())
            QCOMPARE(email[u"to"_s][0].toString(), u"jane@example.com"_s);
        running.kill();
        running.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestRelaySession)
#include "tst_relay_session.moc"
