// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The inbox page in a real browser (headless Chromium): a monitoring session
// as the interviewer follows it, and message bodies that never run script.
#include "HeadlessChromium.h"
#include "InboxServer.h"
#include "MonitoringNotices.h"
#include "ResendService.h"
#include "VerificationEmail.h"

#include <QDir>
#include <QJsonArray>
#include <QTimeZone>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr auto pageTimeout = std::chrono::seconds(15); // the page polls every 2 s
const QString interviewer = u"interviewer@example.com"_s;

const QString rowCount = u"document.querySelectorAll('.row').length"_s;
const QString rowTexts = u"[...document.querySelectorAll('.row')].map(r => "
                         "[...r.children].map(c => c.textContent))"_s;
const QString selectedRow = u"document.querySelector('.row[aria-current=true]')?.dataset.id"_s;
const QString latestCode = u"document.getElementById('latest-code').textContent"_s;
const QString frameSource = u"document.getElementById('message-body').srcdoc"_s;
const QString messageText = u"document.getElementById('message-text').textContent"_s;

QString clickRow(int index)
{
    return u"document.querySelectorAll('.row')[%1].click()"_s.arg(index);
}

// receivedAt as the page must show it: the browser's zone and locale (set below).
QString localTime(const QJsonValue &receivedAt)
{
    return QDateTime::fromString(receivedAt.toString(), Qt::ISODateWithMs)
        .toTimeZone(QTimeZone("Asia/Kolkata"))
        .toString(u"dd/MM/yyyy, HH:mm:ss"_s);
}

} // namespace

class TestInboxPage : public QObject
{
    Q_OBJECT

private:
    // Sends one e-mail the way Nimbrel does and waits for the inbox to accept it.
    bool send(const QString &to, const QString &subject, const EmailBody &body)
    {
        ResendService service({u"page-key"_s, m_inbox->baseUrl().toString()});
        std::optional<bool> accepted;
        service.sendEmail(to, subject, body.html, body.text,
                          [&](bool success, const auto &) { accepted = success; });
        return QTest::qWaitFor([&] { return accepted.has_value(); }, 10'000) && *accepted;
    }

    bool openPage()
    {
        return m_browser->open(m_inbox->baseUrl().resolved(QUrl(u"/#key=page-key"_s))) &&
               m_browser->waitUntil(u"document.getElementById('status').textContent"
                                    ".includes('updated')"_s,
                                    pageTimeout);
    }

    QString why() const { return m_browser->errorString(); }

    std::unique_ptr<HeadlessChromium> m_browser;
    std::unique_ptr<InboxServer> m_inbox;

private slots:
    void initTestCase()
    {
        if (!HeadlessChromium::isInstalled())
            QSKIP("/usr/bin/chromium is not installed; scripts/install-deps installs it");
        m_browser = std::make_unique<HeadlessChromium>();
        QVERIFY2(m_browser->isRunning(), qPrintable(why()));
        // A zone far from UTC and a fixed locale make "local time" checkable.
        QVERIFY2(
            m_browser->call(u"Emulation.setTimezoneOverride"_s, {{"timezoneId", "Asia/Kolkata"}}),
            qPrintable(why()));
        QVERIFY2(m_browser->call(u"Emulation.setLocaleOverride"_s, {{"locale", "en-GB"}}),
                 qPrintable(why()));
    }

    void init()
    {
        m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = u"page-key"_s});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));
    }

    void cleanup() { m_inbox.reset(); }

    // A monitoring session as the interviewer follows it, one check after the
    // other on the same open page.
    void followsAMonitoringSession()
    {
        const QStringList found{u"🚨 CLUELY DETECTED - Process: cluely-helper"_s,
                                u"Process: Cheat&Tool's <helper>"_s};
        QVERIFY(send(u"alice@example.com"_s, VerificationEmail::subject(),
                     VerificationEmail::body(u"111111"_s)));
        QVERIFY(
            send(interviewer, VerificationEmail::subject(), VerificationEmail::body(u"482913"_s)));
        QVERIFY(send(interviewer, MonitoringNotices::statusSubject(true),
                     MonitoringNotices::statusBody(true, u"7 Dec 2026 09:30"_s)));
        QVERIFY(
            send(interviewer, MonitoringNotices::scanResultsSubject(),
                 MonitoringNotices::scanResultsBody(found, u"7 Dec 2026 09:30"_s, u"laptop"_s)));
        QVERIFY2(openPage(), qPrintable(why()));
        m_browser->evaluate(u"window.sameDocument = true"_s);

        // Newest first, in the browser's local time, the newest one open.
        const QJsonArray stored = m_inbox->emails();
        const QJsonArray rows = m_browser->evaluate(rowTexts).toArray();
        QCOMPARE(rows.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QJsonArray row = rows[i].toArray();
            QCOMPARE(row[0].toString(), stored[i]["subject"].toString());
            QCOMPARE(row[1].toString(), localTime(stored[i]["receivedAt"]));
            QCOMPARE(row[2].toString(), u"To: "_s + stored[i]["to"][0].toString());
        }
        QCOMPARE(rows[0].toArray()[3].toString(), u"Suspicious processes detected during scan: "_s +
                                                      found.join(u' ') +
                                                      u" Scanned at 7 Dec 2026 09:30 on laptop."_s);
        QCOMPARE(m_browser->evaluate(selectedRow).toString(), stored[0]["id"].toString());
        QCOMPARE(m_browser->evaluate(frameSource).toString(), stored[0]["html"].toString());
        QCOMPARE(m_browser->evaluate(messageText).toString(), stored[0]["text"].toString());

        // The latest code and the list follow the recipient filter.
        const struct
        {
            QString filter;
            int rows;
            QString code;
        } cases[] = {
            {u"482913"_s, 0, u"——————"_s}, // recipients only
            {u"ALICE"_s, 1, u"111111"_s},
            {u""_s, 4, u"482913"_s},
        };
        for (const auto &[filter, rows, code] : cases) {
            m_browser->evaluate(u"{const f = document.getElementById('filter'); f.value = '%1';"
                                "f.dispatchEvent(new Event('input'));}"_s.arg(filter));
            QCOMPARE(m_browser->evaluate(rowCount).toInt(), rows);
            QCOMPARE(m_browser->evaluate(latestCode).toString(), code);
            QCOMPARE(
                m_browser->evaluate(u"document.getElementById('list-empty').hidden"_s).toBool(),
                rows > 0);
        }

        // Another message opens on a click, and stays open while a new one
        // arrives without a reload.
        m_browser->evaluate(clickRow(1));
        QCOMPARE(m_browser->evaluate(selectedRow).toString(), stored[1]["id"].toString());
        QVERIFY(send(interviewer, MonitoringNotices::statusSubject(false),
                     MonitoringNotices::statusBody(false, u"7 Dec 2026 09:31"_s)));
        QVERIFY2(m_browser->waitUntil(rowCount + u" == 5"_s, pageTimeout), qPrintable(why()));
        QCOMPARE(m_browser->evaluate(u"window.sameDocument === true"_s).toBool(), true);
        QCOMPARE(m_browser->evaluate(selectedRow).toString(), stored[1]["id"].toString());
        QCOMPARE(m_browser->evaluate(frameSource).toString(), stored[1]["html"].toString());
        const QString shots = QDir(QStringLiteral(NIMBREL_SCREENSHOTS)).absolutePath();
        QVERIFY(QDir().mkpath(shots));
        QVERIFY2(m_browser->screenshot(shots + u"/inbox-after-monitoring.png"_s),
                 qPrintable(why()));

        // Clearing empties the inbox and the page; the request log stays.
        m_browser->evaluate(u"document.getElementById('clear').click()"_s);
        QVERIFY2(m_browser->waitUntil(rowCount + u" == 0"_s, pageTimeout), qPrintable(why()));
        QCOMPARE(m_browser->evaluate(latestCode).toString(), u"——————"_s);
        QCOMPARE(m_browser->evaluate(u"document.getElementById('message').hidden"_s).toBool(),
                 true);
        QCOMPARE(m_inbox->emails().size(), 0);
        QCOMPARE(m_inbox->requests().size(), 5);
    }

    void messagesNeverRunScript()
    {
        const QString subject = u"<img src=x onerror=console.log('nimbrel-ran-subject')>"_s;
        const QString html = u"<p id=body>hostile</p>"
                             "<script>console.log('nimbrel-ran-script')</script>"
                             "<img src=x onerror=\"console.log('nimbrel-ran-onerror')\">"
                             "<svg onload=\"console.log('nimbrel-ran-onload')\"></svg>"
                             "<iframe srcdoc=\"<script>console.log('nimbrel-ran-nested')"
                             "</script>\"></iframe>"_s;
        QVERIFY(send(interviewer, subject, {html, html})); // the text part as hostile
        QVERIFY2(openPage(), qPrintable(why()));
        QCOMPARE(m_browser->evaluate(frameSource).toString(), html);

        // The body was rendered: the frame it nests is there.
        QVERIFY2(m_browser->waitUntil(u"document.getElementById('message-body')"
                                      ".contentWindow.length == 1"_s),
                 "the message body was not rendered");
        QCOMPARE(m_browser->evaluate(u"document.querySelector('.row .subject').textContent"_s)
                     .toString(),
                 subject);
        QCOMPARE(m_browser
                     ->evaluate(u"document.querySelectorAll('img, svg, script:not([src])')"
                                ".length"_s)
                     .toInt(),
                 0);
        const QByteArray console =
            QJsonDocument(m_browser->events(u"Runtime.consoleAPICalled"_s)).toJson();
        QVERIFY2(!console.contains("nimbrel-ran"), console.constData());
    }
};

QTEST_MAIN(TestInboxPage)
#include "tst_inbox_page.moc"
