// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The real nimbrel monitoring under Xvfb against the inbox, stopped with
// SIGSTOP for 40 s, continued and closed: the stop notice reports one gap of
// about 40 s that Nimbrel was paused, and the scans add up.
#include "HelperPrograms.h"
#include "InboxServer.h"
#include "NimbrelWindow.h"
#include "XvfbServer.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestSessionGap : public QObject
{
    Q_OBJECT

private slots:
    void stoppedProgramLeavesOneGap()
    {
        XvfbServer xvfb;
        QVERIFY2(xvfb.start({1000, 900}), "Xvfb did not start");
        qputenv("DISPLAY", xvfb.display().toLocal8Bit());
        InboxServer inbox({.apiKey = u"gap-key"_s});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const auto mail = [&](const QString &subject) {
            for (const QJsonValue email : inbox.emails())
                if (email[u"subject"_s].toString() == subject)
                    return email[u"text"_s].toString();
            return QString();
        };
        QTemporaryDir dir;
        const QString reportFile = dir.filePath(u"report.json"_s);
        const auto report = [&] {
            QFile file(reportFile);
            return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                                  : QJsonObject();
        };
        const auto keys = [](const QStringList &keys) { return bool(run(u"xdotool"_s, keys)); };
        NimbrelWindow app;
        QVERIFY2(app.start({.apiKey = u"gap-key"_s,
                            .baseUrl = inbox.baseUrl(),
                            .arguments = {u"--session-report"_s, reportFile}}),
                 qPrintable(app.error()));

        // Verified, then Start Monitor, a Tab from Manual Scan once the dashboard is still.
        QVERIFY(keys({u"type"_s, u"interviewer@example.com"_s}) &&
                keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!mail(u"Nimbrel Verification Code"_s).isEmpty(), 15'000);
        static const QRegularExpression code(u"\\b\\d{6}\\b"_s);
        QVERIFY(keys({u"type"_s, code.match(mail(u"Nimbrel Verification Code"_s)).captured()}) &&
                keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QVERIFY(!NimbrelWindow::waitForStillScreen().isNull());
        QVERIFY(keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(report()[u"scans"_s][u"ticks"_s].toInt() >= 1, 25'000);

        ::kill(pid_t(app.processId()), SIGSTOP);
        QTest::qWait(40'000); // the stall itself, not a wait for a condition
        ::kill(pid_t(app.processId()), SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(report()[u"scans"_s][u"ticks"_s].toInt() >= 3, 25'000);
        QVERIFY(QDir().mkpath(NIMBREL_E2E_SCREENSHOTS));
        QVERIFY(NimbrelWindow::waitForStillScreen().save(NIMBREL_E2E_SCREENSHOTS
                                                         "/session-summary-with-gap.png"));
        QVERIFY(keys({u"key"_s, u"ctrl+w"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!mail(u"Nimbrel Monitoring Stopped"_s).isEmpty(), 15'000);

        // One gap of 40 ± 5 s, paused, in the notice as in the JSON (written
        // before the notice); every expected tick was made, skipped or missed in the gap.
        const QString text = mail(u"Nimbrel Monitoring Stopped"_s);
        static const QRegularExpression gap(
            u"\n- [\\d:]{8}, (\\d+) s: Nimbrel was paused or starved of CPU\n"_s);
        QCOMPARE(text.count(gap), 1);
        QVERIFY2(qAbs(gap.match(text).captured(1).toInt() - 40) <= 5, qPrintable(text));
        const QJsonObject json = report(), scans = json[u"scans"_s].toObject();
        QCOMPARE(json[u"gaps"_s][0][u"cause"_s].toString(), u"paused"_s);
        const int accounted = scans[u"ticks"_s].toInt() + scans[u"skippedTicks"_s].toInt() +
                              scans[u"missedInGaps"_s].toInt();
        QVERIFY(qAbs(accounted - scans[u"expected"_s].toInt()) <= 1);
    }
};

QTEST_GUILESS_MAIN(TestSessionGap)
#include "tst_session_gap.moc"
