// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ResendService against the local inbox: the outcome of every case, and the
// requests it sends side by side.
#include "InboxServer.h"
#include "ResendService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString testKey = u"test-key-6f1c"_s;

struct Record
{
    int calls = 0;
    bool success = false;
    std::optional<EmailError> error;
};

std::shared_ptr<Record> send(ResendService &service, const QString &to, const QString &subject,
                             const QString &html = {}, const std::optional<QString> &text = {})
{
    auto record = std::make_shared<Record>();
    service.sendEmail(to, subject, html, text, [=](bool success, std::optional<EmailError> error) {
        *record = {record->calls + 1, success, std::move(error)};
    });
    return record;
}

} // namespace

class TestResendService : public QObject
{
    Q_OBJECT

private slots:
    // One send per case. Network outcomes complete later, never inside
    // sendEmail; failures found before sending complete at once.
    void everyCaseCompletesOnce_data()
    {
        QTest::addColumn<int>("status"); // the inbox's forced answer; 0 for its own
        QTest::addColumn<bool>("success");
        QTest::addColumn<int>("errorKind"); // -1 for no error value
        for (int status : {200, 299})
            QTest::addRow("%d", status) << status << true << -1;
        using enum EmailError::Kind;
        for (int status : {300, 307, 401, 403, 422, 429, 500})
            QTest::addRow("%d", status) << status << false << int(Refused);
        // Not a final answer: the client reads on until the inbox hangs up.
        QTest::newRow("199") << 199 << false << int(Network);
        QTest::newRow("refused") << 0 << false << int(Network);
        QTest::newRow("timed out") << 0 << false << int(TimedOut);
        QTest::newRow("service destroyed") << 0 << false << int(Cancelled);
        QTest::newRow("plain http elsewhere") << 0 << false << int(Misconfigured);
        QTest::newRow("key with line break") << 0 << false << int(Misconfigured);
        QTest::newRow("lone surrogate") << 0 << false << int(InvalidMessage);
    }

    void everyCaseCompletesOnce()
    {
        QFETCH(int, status);
        QFETCH(bool, success);
        QFETCH(int, errorKind);
        const QByteArray tag = QTest::currentDataTag();
        const bool timesOut = tag == "timed out", destroyed = tag == "service destroyed";
        const int delayMs = timesOut ? 1'500 : (destroyed ? 5'000 : 0);
        InboxServer inbox({testKey, status ? std::optional(status) : std::nullopt, delayMs});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        if (tag == "refused")
            inbox.stop(); // its port now refuses connections
        auto service = std::make_unique<ResendService>(
            ResendConfig{tag == "key with line break" ? testKey + "\r\nX-Injected: 1" : testKey,
                         tag == "plain http elsewhere" ? u"http://example.com"_s
                                                       : inbox.baseUrl().toString()},
            ResendLimits{.deadline = timesOut ? 300ms : 60s});
        const auto record = send(*service, u"a@example.com"_s,
                                 tag == "lone surrogate" ? u"bad "_s + QChar(0xD800) : u"s"_s);
        const bool refusedBeforeSending = errorKind == int(EmailError::Kind::Misconfigured) ||
                                          errorKind == int(EmailError::Kind::InvalidMessage);
        QCOMPARE(record->calls, refusedBeforeSending ? 1 : 0);
        if (destroyed) {
            QTRY_COMPARE_WITH_TIMEOUT(inbox.requests().size(), 1, 10'000);
            service.reset();
        }
        QTRY_COMPARE_WITH_TIMEOUT(record->calls, 1, 10'000);
        QTest::qWait(timesOut ? 1'500 : 50); // a second completion would show up here
        QCOMPARE(record->calls, 1);
        QCOMPARE(record->success, success);
        QCOMPARE(record->error ? int(record->error->kind) : -1, errorKind);
        QVERIFY(!record->error || (!record->error->description.isEmpty() &&
                                   !record->error->description.contains(testKey)));
        // Failures found before sending leave nothing at the inbox.
        QCOMPARE(inbox.requests().size(), refusedBeforeSending || tag == "refused" ? 0 : 1);
    }

    // An account without a verified domain: its shared sender reaches only the
    // owner, and SenderAddress reaches everyone.
    void senderAddressReachesOthersThanTheOwner()
    {
        InboxServer inbox({.apiKey = testKey, .accountOwner = u"o@example.com"_s});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QString ours = u"Nimbrel <nimbrel@acme.example>"_s;
        for (const auto &[sender, to, delivered] :
             {std::tuple{QString(), u"O <o@example.com>"_s, true},
              {QString(), u"x@example.com"_s, false},
              {ours, u"x@example.com"_s, true}}) {
            ResendConfig config{testKey, inbox.baseUrl().toString()};
            config.senderAddress = sender;
            ResendService service(config);
            const auto record = send(service, to, u"s"_s);
            QTRY_COMPARE(record->calls, 1);
            QCOMPARE(record->success, delivered);
            QVERIFY(!record->error || record->error->description.contains(u"set SenderAddress"_s));
        }
        QCOMPARE(inbox.emails().size(), 2);
        QCOMPARE(inbox.emails().at(0)[u"from"_s].toString(), ours);
    }

    void sendsExactRequestsSideBySide()
    {
        InboxServer inbox({.apiKey = testKey, .delayMs = 1'000});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        ResendService service({testKey, inbox.baseUrl().toString()});
        const auto first = send(service, u"Ann <ann@example.com>"_s, u"Code"_s,
                                u"<h1>Résumé \"quoted\" ✓</h1>\n<p>🚨 line two</p>"_s);
        const auto second = send(service, u"bob@example.com"_s, u"2nd"_s, {}, u"plain\ttext"_s);
        const auto refused = send(service, QString(), u"nobody"_s);
        // All three reach the inbox while the first answer is still held back.
        QTRY_COMPARE_WITH_TIMEOUT(inbox.requests().size(), 3, 10'000);
        QCOMPARE(first->calls, 0);
        QTRY_VERIFY_WITH_TIMEOUT(first->calls && second->calls && refused->calls, 10'000);
        QTest::qWait(50); // a second completion would show up here
        QCOMPARE(first->calls + second->calls + refused->calls, 3);
        QVERIFY(first->success && second->success && !first->error && !second->error);
        QVERIFY(!refused->success && refused->error);

        // The inbox took the key (else 403); the bodies must be exactly these:
        // five members, "to" always an array, "text" empty when not given.
        QJsonArray bodies;
        for (const QJsonValue &request : inbox.requests())
            bodies.append(QJsonDocument::fromJson(request["body"].toString().toUtf8()).object());
        for (
            const char *json :
            {R"({"from":"onboarding@resend.dev","to":["Ann <ann@example.com>"],"subject":"Code",)"
             R"("html":"<h1>Résumé \u0022quoted\u0022 ✓</h1>\n<p>🚨 line two</p>","text":""})",
             R"({"from":"onboarding@resend.dev","to":["bob@example.com"],"subject":"2nd",)"
             R"("html":"","text":"plain\ttext"})",
             R"({"from":"onboarding@resend.dev","to":[""],"subject":"nobody","html":"","text":""})"})
            QVERIFY2(bodies.contains(QJsonDocument::fromJson(json).object()), json);
    }
};

QTEST_GUILESS_MAIN(TestResendService)
#include "tst_resend_service.moc"
