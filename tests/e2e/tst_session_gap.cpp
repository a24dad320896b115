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

namespace {

const QString kApiKey = u"gap-key"_s;

// The newest e-mail with this subject, or an empty object.
QJsonObject newest(InboxServer &inbox, const QString &subject)
{
    for (const QJsonValue email : inbox.emails())
        if (email[u"subject"_s].toString() == subject)
            return email.toObject();
    return {};
}

bool keys(const QStringList &arguments)
{
    return run(u"xdotool"_s, arguments).has_value();
}

} // namespace

class TestSessionGap : public QObject
{
    Q_OBJECT

    XvfbServer m_xvfb;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_xvfb.start({1000, 900}), "Xvfb did not start");
        qputenv("DISPLAY", m_xvfb.display().toLocal8Bit());
    }

    void stoppedProgramLeavesOneGap()
    {
        InboxServer inbox({.apiKey = kApiKey});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        QTemporaryDir dir;
        const QString reportFile = dir.filePath(u"report.json"_s);
        const auto report = [&] {
            QFile file(reportFile);
            return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                                  : QJsonObject();
        };
        NimbrelWindow app;
        QVERIFY2(app.start({.apiKey = kApiKey,
                            .baseUrl = inbox.baseUrl(),
                            .arguments = {u"--session-report"_s, reportFile}}),
                 qPrintable(app.error()));

        // Verified, then Start Monitor: Tab from Manual Scan, which has the focus.
        QVERIFY(keys({u"type"_s, u"--delay"_s, u"30"_s, u"interviewer@example.com"_s}));
        QVERIFY(keys({u"key"_s, u"Tab"_s, u"space"_s}));
        static const QRegularExpression code(u"<strong>(\\d{6})</strong>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!inbox.emails().isEmpty(), 15'000);
        const QString digits = code.match(inbox.emails()[0][u"html"_s].toString()).captured(1);
        QVERIFY(keys({u"type"_s, u"--delay"_s, u"30"_s, digits}));
        QVERIFY(keys({u"key"_s, u"Tab"_s, u"space"_s}));
        // The dashboard has faded in once the screen is still.
        QVERIFY(!NimbrelWindow::waitForStillScreen().isNull());
        QVERIFY(keys({u"key"_s, u"Tab"_s, u"space"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!newest(inbox, u"Nimbrel Monitoring Started"_s).isEmpty(), 15'000);
        QTRY_VERIFY_WITH_TIMEOUT(report()[u"scans"_s][u"ticks"_s].toInt() >= 1, 15'000);

        ::kill(pid_t(app.processId()), SIGSTOP);
        QTest::qWait(40'000); // the stall itself, not a wait for a condition
        ::kill(pid_t(app.processId()), SIGCONT);
        // The loop notes the gap as soon as it runs again, and the dashboard shows it.
        QTRY_COMPARE_WITH_TIMEOUT(report()[u"gaps"_s].toArray().size(), 1, 10'000);
        QTRY_VERIFY_WITH_TIMEOUT(report()[u"scans"_s][u"ticks"_s].toInt() >= 3, 25'000);
        QVERIFY(QDir().mkpath(NIMBREL_E2E_SCREENSHOTS));
        QVERIFY(NimbrelWindow::waitForStillScreen().save(NIMBREL_E2E_SCREENSHOTS
                                                         "/session-summary-with-gap.png"));
        QVERIFY(keys({u"key"_s, u"ctrl+w"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!newest(inbox, u"Nimbrel Monitoring Stopped"_s).isEmpty(), 15'000);

        // One gap of 40 ± 5 s, paused, in the notice as in the JSON.
        const QString text = newest(inbox, u"Nimbrel Monitoring Stopped"_s)[u"text"_s].toString();
        static const QRegularExpression gapLine(
            u"\n- \\d\\d:\\d\\d:\\d\\d, (\\d+) s: Nimbrel was paused or starved of CPU\n"_s);
        QCOMPARE(text.count(gapLine), 1);
        const int seconds = gapLine.match(text).captured(1).toInt();
        QVERIFY2(seconds >= 35 && seconds <= 45, qPrintable(text));
        QTRY_VERIFY_WITH_TIMEOUT(!report()[u"stopped"_s].isNull(), 10'000);
        const QJsonObject json = report();
        QCOMPARE(json[u"gaps"_s][0][u"cause"_s].toString(), u"paused"_s);
        QVERIFY(qAbs(json[u"gaps"_s][0][u"seconds"_s].toDouble() - 40) <= 5);
        // Every expected tick was made, skipped or fell into the gap.
        const QJsonObject scans = json[u"scans"_s].toObject();
        const int accounted = scans[u"ticks"_s].toInt() + scans[u"skippedTicks"_s].toInt() +
                              scans[u"missedInGaps"_s].toInt();
        qInfo().noquote() << "gap" << seconds << "s; scans"
                          << QJsonDocument(scans).toJson(QJsonDocument::Compact);
        QVERIFY2(qAbs(accounted - scans[u"expected"_s].toInt()) <= 1,
                 QJsonDocument(scans).toJson().constData());
        QVERIFY2(text.contains(
                     u"Scans: %1 on the 10 s loop of %2 expected"_s.arg(scans[u"ticks"_s].toInt())
                         .arg(scans[u"expected"_s].toInt())),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestSessionGap)
#include "tst_session_gap.moc"
