// ResendService against the local inbox (or a bare listener where the exact
// bytes matter): outcomes, the request sent, and that every completion runs
// exactly once and, for network outcomes, never inside sendEmail.
#include "InboxServer.h"
#include "ResendService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QString testKey = u"test-key-6f1c"_s;

struct Record
{
    int calls = 0;
    bool success = false;
    std::optional<EmailError> error;
    bool insideSend = false;
};

std::shared_ptr<Record> send(ResendService &service, const QString &to, const QString &subject,
                             const QString &html = {}, const std::optional<QString> &text = {})
{
    auto record = std::make_shared<Record>();
    auto inside = std::make_shared<bool>(true);
    service.sendEmail(to, subject, html, text, [=](bool success, std::optional<EmailError> error) {
        *record = {record->calls + 1, success, std::move(error), *inside};
    });
    *inside = false;
    return record;
}

// Waits for the completion, then a little longer to catch a second call.
bool completesOnceLater(const Record &record)
{
    if (!QTest::qWaitFor([&] { return record.calls > 0; }, 10'000))
        return false;
    QTest::qWait(50);
    return record.calls == 1 && !record.insideSend;
}

} // namespace

class TestResendService : public QObject
{
    Q_OBJECT

private slots:
    void answerDecidesOutcome_data()
    {
        QTest::addColumn<int>("status"); // what the inbox is told to answer; 0 for no answer
        QTest::addColumn<bool>("success");
        QTest::addColumn<int>("errorKind"); // -1 for no error value
        for (int status : {200, 299})
            QTest::addRow("%d", status) << status << true << -1;
        for (int status : {199, 300, 307, 401, 403, 422, 429, 500})
            QTest::addRow("%d", status) << status << false << -1;
        QTest::newRow("refused") << 0 << false << int(EmailError::Kind::Network);
        QTest::newRow("timed out") << 0 << false << int(EmailError::Kind::TimedOut);
    }

    void answerDecidesOutcome()
    {
        QFETCH(int, status);
        QFETCH(bool, success);
        QFETCH(int, errorKind);
        const bool timesOut = QTest::currentDataTag() == QByteArray("timed out");
        InboxServer inbox({.apiKey = testKey,
                           .status = status ? std::optional(status) : std::nullopt,
                           .delayMs = timesOut ? 1'500 : 0});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        if (QTest::currentDataTag() == QByteArray("refused"))
            inbox.stop(); // its port now refuses connections
        ResendService service({testKey, inbox.baseUrl().toString()},
                              timesOut ? 300ms : ResendService::defaultTransferTimeout);
        const auto record = send(service, u"someone@example.com"_s, u"s"_s);
        QVERIFY(completesOnceLater(*record));
        QTest::qWait(timesOut ? 1'500 : 0); // the late answer must not complete the send again
        QCOMPARE(record->calls, 1);
        QCOMPARE(record->success, success);
        QCOMPARE(record->error ? int(record->error->kind) : -1, errorKind);
        if (record->error)
            QVERIFY(!record->error->description.isEmpty() &&
                    !record->error->description.contains(testKey));
        if (status)
            QCOMPARE(inbox.requests().size(), 1);
    }

    void sendsExactRequestsSideBySide()
    {
        InboxServer inbox({.apiKey = testKey, .delayMs = 1'000});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        ResendService service({testKey, inbox.baseUrl().toString()});
        const QString html = u"<h1>Résumé \"quoted\" ✓</h1>\n<p>🚨 line two</p>"_s;
        const auto first = send(service, u"Ann <ann@example.com>"_s, u"Code"_s, html);
        const auto second = send(service, u"bob@example.com"_s, u"2nd"_s, {}, u"plain\ttext"_s);
        const auto refused = send(service, QString(), u"nobody"_s);
        // All three reach the inbox while the first answer is still held back.
        QTRY_COMPARE_WITH_TIMEOUT(inbox.requests().size(), 3, 10'000);
        QCOMPARE(first->calls, 0);
        for (const auto &record : {first, second, refused})
            QVERIFY(completesOnceLater(*record));
        QVERIFY(first->success && second->success && !first->error && !second->error);
        QVERIFY(!refused->success && !refused->error);
        QCOMPARE(inbox.emails().size(), 2);

        QHash<QString, QJsonObject> bodies;
        for (const QJsonValue &request : inbox.requests()) {
            const QByteArray raw = request["body"].toString().toUtf8();
            QVERIFY2(!raw.contains('\n') && !raw.contains(": "), raw.constData()); // compact
            const QJsonObject body = QJsonDocument::fromJson(raw).object();
            bodies.insert(body["subject"].toString(), body);
            const QJsonObject headers = request["headers"].toObject();
            QCOMPARE(headers["content-type"], QJsonValue(u"application/json"_s));
            QCOMPARE(headers["user-agent"], QJsonValue(QStringLiteral("Nimbrel/" NIMBREL_VERSION)));
            // The inbox masks the key: one '*' per character.
            QCOMPARE(headers["authorization"],
                     QJsonValue("Bearer " + QString(testKey.size(), '*')));
        }
        const QJsonObject expected{{"from", "onboarding@resend.dev"},
                                   {"to", QJsonArray{"Ann <ann@example.com>"}},
                                   {"subject", "Code"},
                                   {"html", html},
                                   {"text", ""}};
        QCOMPARE(bodies["Code"], expected);
        QCOMPARE(bodies["2nd"].value("text"), QJsonValue(u"plain\ttext"_s));
        QCOMPARE(bodies["nobody"].value("to"), QJsonValue(QJsonArray{""}));
    }

    void emptyKeyIsSentBareAndRedirectsAreRefused()
    {
        // A bare listener sees the bytes before any HTTP parser trims them.
        // Following a redirect would hand the key to the host the answer names.
        QTcpServer listener, elsewhere;
        QVERIFY(listener.listen(QHostAddress::LocalHost) &&
                elsewhere.listen(QHostAddress::LocalHost));
        ResendService service({QString(), u"http://127.0.0.1:%1"_s.arg(listener.serverPort())});
        const auto record = send(service, u"a@example.com"_s, u"s"_s);
        QVERIFY(QTest::qWaitFor([&] { return listener.hasPendingConnections(); }));
        QTcpSocket *socket = listener.nextPendingConnection();
        QByteArray raw;
        QVERIFY(QTest::qWaitFor([&] { return (raw += socket->readAll()).contains("\r\n\r\n"); }));
        QVERIFY2(raw.startsWith("POST /emails HTTP/1.1\r\n"), raw.constData());
        QVERIFY2(raw.contains("\r\nAuthorization: Bearer \r\n"), raw.constData());
        socket->write("HTTP/1.1 307 Temporary Redirect\r\nContent-Length: 0\r\nLocation: "
                      "http://127.0.0.1:" +
                      QByteArray::number(elsewhere.serverPort()) + "/emails\r\n\r\n");
        QVERIFY(completesOnceLater(*record));
        QVERIFY(!record->success && !record->error);
        QVERIFY(!elsewhere.hasPendingConnections());
    }

    void destroyingCompletesPendingSendsOnce()
    {
        InboxServer inbox({.apiKey = testKey, .delayMs = 5'000});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        auto service =
            std::make_unique<ResendService>(ResendConfig{testKey, inbox.baseUrl().toString()});
        const auto record = send(*service, u"a@example.com"_s, u"s"_s);
        QTRY_COMPARE_WITH_TIMEOUT(inbox.requests().size(), 1, 10'000);
        service.reset();
        QTest::qWait(100);
        QCOMPARE(record->calls, 1);
        QVERIFY(!record->success && record->error);
        QCOMPARE(record->error->kind, EmailError::Kind::Cancelled);
    }

    void failuresBeforeSendingCompleteAtOnce()
    {
        InboxServer inbox({.apiKey = testKey});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QString base = inbox.baseUrl().toString(), to = u"a@example.com"_s;
        ResendService plainHttpElsewhere({testKey, u"http://example.com"_s});
        ResendService keyWithLineBreak({testKey + "\r\nX-Injected: 1", base});
        ResendService service({testKey, base});
        using enum EmailError::Kind;
        for (const auto &[record, kind] :
             {std::pair{send(plainHttpElsewhere, to, u"s"_s), Misconfigured},
              std::pair{send(keyWithLineBreak, to, u"s"_s), Misconfigured},
              std::pair{send(service, to, u"bad "_s + QChar(0xD800)), InvalidMessage}}) {
            QVERIFY(record->calls == 1 && record->insideSend && !record->success);
            QVERIFY(record->error && !record->error->description.isEmpty());
            QCOMPARE(record->error->kind, kind);
            QVERIFY(!record->error->description.contains(testKey));
        }
        // Nothing reached the inbox; a valid send afterwards is the only request.
        QVERIFY(completesOnceLater(*send(service, to, u"valid"_s)));
        QCOMPARE(inbox.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestResendService)
#include "tst_resend_service.moc"
