// ResendService against the local inbox: outcomes, the request it sends, and
// the promise that every completion runs exactly once and never inside sendEmail.
#include "InboxServer.h"
#include "ResendService.h"
#include "SendRecorder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

const QString testKey = QStringLiteral("test-key-6f1c");

ResendConfig configFor(const InboxServer &inbox, const QString &key = testKey)
{
    return {key, inbox.baseUrl().toString()};
}

// Waits for the completion, then a little longer to catch a second call. A
// network outcome must arrive later, never inside sendEmail.
bool completesOnceLater(const SendRecord &record)
{
    if (!QTest::qWaitFor([&] { return record.calls > 0; }, 10'000))
        return false;
    QTest::qWait(50);
    return record.calls == 1 && !record.ranInsideSend;
}

QString baseUrlOf(const QTcpServer &listener)
{
    return QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort());
}

// Takes the next request on a bare listener, answers it, and returns its head.
QByteArray answerRaw(QTcpServer &listener, const QByteArray &response)
{
    if (!QTest::qWaitFor([&] { return listener.hasPendingConnections(); }, 10'000))
        return {};
    QTcpSocket *socket = listener.nextPendingConnection();
    QByteArray raw;
    if (QTest::qWaitFor([&] { return (raw += socket->readAll()).contains("\r\n\r\n"); }, 10'000))
        socket->write(response);
    return raw;
}

} // namespace

class TestResendService : public QObject
{
    Q_OBJECT

private slots:
    void statusDecidesOutcome_data();
    void statusDecidesOutcome();
    void inboxRefusalsFailWithoutError_data();
    void inboxRefusalsFailWithoutError();
    void sendsTheExactRequest();
    void emptyKeyGoesOutAsBareBearer();
    void redirectsAreNotFollowed();
    void transportFailuresCarryAnError();
    void backToBackSendsAreBothInFlight();
    void destroyingCompletesPendingSendsOnce();
    void failuresBeforeSendingCompleteAtOnce();
};

void TestResendService::statusDecidesOutcome_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("success");
    for (int status : {200, 299})
        QTest::addRow("%d", status) << status << true;
    for (int status : {199, 300, 307, 401, 403, 422, 429, 500})
        QTest::addRow("%d", status) << status << false;
}

void TestResendService::statusDecidesOutcome()
{
    QFETCH(int, status);
    QFETCH(bool, success);
    InboxServer inbox({.apiKey = testKey, .status = status});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    ResendService service(configFor(inbox));

    const auto record = send(service, QStringLiteral("someone@example.com"), QStringLiteral("s"));
    QVERIFY(completesOnceLater(*record));
    QCOMPARE(record->success, success);
    QVERIFY2(!record->error, qPrintable(record->error ? record->error->description : QString()));
    QCOMPARE(inbox.requests().size(), 1);
}

void TestResendService::inboxRefusalsFailWithoutError_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("authorization");
    QTest::newRow("wrong key") << "other-key"
                               << "a@example.com" << 403 << "Bearer *********";
    QTest::newRow("empty key") << ""
                               << "a@example.com" << 401 << "Bearer";
    QTest::newRow("empty recipient")
        << testKey << "" << 422 << "Bearer " + QString(testKey.size(), '*');
}

void TestResendService::inboxRefusalsFailWithoutError()
{
    QFETCH(QString, key);
    QFETCH(QString, to);
    QFETCH(int, status);
    QFETCH(QString, authorization);
    InboxServer inbox({.apiKey = testKey});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    ResendService service(configFor(inbox, key));

    const auto record = send(service, to, QStringLiteral("subject"));
    QVERIFY(completesOnceLater(*record));
    QVERIFY(!record->success);
    QVERIFY(!record->error);

    const QJsonArray requests = inbox.requests();
    QCOMPARE(requests.size(), 1);
    const QJsonObject request = requests.first().toObject();
    QCOMPARE(request["status"].toInt(), status);
    QCOMPARE(request["headers"]["authorization"].toString(), authorization);
    // The recipient goes out verbatim, always as a one-element array.
    const QJsonObject body = QJsonDocument::fromJson(request["body"].toString().toUtf8()).object();
    QCOMPARE(body["to"].toArray(), QJsonArray{to});
    QVERIFY(inbox.emails().isEmpty());
}

void TestResendService::sendsTheExactRequest()
{
    InboxServer inbox({.apiKey = testKey});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    ResendService service(configFor(inbox));
    const QString html = QStringLiteral("<h1>Résumé \"quoted\" ✓</h1>\n<p>🚨 line two</p>");

    const auto withoutText = send(service, QStringLiteral("Ann <ann@example.com>"),
                                  QStringLiteral("Nimbrel Verification Code"), html);
    QVERIFY(completesOnceLater(*withoutText));
    QVERIFY(withoutText->success);
    QVERIFY(!withoutText->error);
    const auto withText = send(service, QStringLiteral("bob@example.com"), QStringLiteral("second"),
                               QStringLiteral("<p>x</p>"), QStringLiteral("plain\ttext"));
    QVERIFY(completesOnceLater(*withText));
    QVERIFY(withText->success);

    const QJsonArray emails = inbox.emails();
    QCOMPARE(emails.size(), 2);
    const QJsonObject first = emails.at(1).toObject();
    const QByteArray raw = first["body"].toString().toUtf8();
    QVERIFY2(!raw.contains('\n') && !raw.contains(": "), raw.constData()); // compact
    const QJsonObject body = QJsonDocument::fromJson(raw).object();
    const QJsonObject expected{{"from", "onboarding@resend.dev"},
                               {"to", QJsonArray{"Ann <ann@example.com>"}},
                               {"subject", "Nimbrel Verification Code"},
                               {"html", html},
                               {"text", ""}};
    QCOMPARE(body, expected);
    QCOMPARE(QJsonDocument::fromJson(emails.at(0)["body"].toString().toUtf8())["text"].toString(),
             QStringLiteral("plain\ttext"));

    const QJsonObject headers = first["headers"].toObject();
    QCOMPARE(headers["content-type"].toString(), QStringLiteral("application/json"));
    QCOMPARE(headers["user-agent"].toString(), QStringLiteral("Nimbrel/" NIMBREL_VERSION));
    QCOMPARE(headers["authorization"].toString(), "Bearer " + QString(testKey.size(), '*'));
}

void TestResendService::emptyKeyGoesOutAsBareBearer()
{
    // A bare listener sees the bytes as sent, before any HTTP parser trims them.
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    ResendService service({QString(), baseUrlOf(listener)});
    const auto record = send(service, QStringLiteral("a@example.com"), QStringLiteral("s"));

    const QByteArray raw = answerRaw(listener, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    QVERIFY2(raw.startsWith("POST /emails HTTP/1.1\r\n"), raw.constData());
    QVERIFY2(raw.contains("\r\nAuthorization: Bearer \r\n"), raw.constData());
    QVERIFY(completesOnceLater(*record));
    QVERIFY(record->success);
}

void TestResendService::redirectsAreNotFollowed()
{
    // Following would hand the key to whatever host the answer names.
    QTcpServer first, elsewhere;
    QVERIFY(first.listen(QHostAddress::LocalHost) && elsewhere.listen(QHostAddress::LocalHost));
    ResendService service({testKey, baseUrlOf(first)});
    const auto record = send(service, QStringLiteral("a@example.com"), QStringLiteral("s"));

    answerRaw(first, "HTTP/1.1 307 Temporary Redirect\r\nLocation: " +
                         baseUrlOf(elsewhere).toUtf8() + "/emails\r\nContent-Length: 0\r\n\r\n");
    QVERIFY(completesOnceLater(*record));
    QVERIFY(!record->success);
    QVERIFY(!record->error);
    QVERIFY(!elsewhere.hasPendingConnections());
}

void TestResendService::transportFailuresCarryAnError()
{
    // A port that was just free: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    ResendService refusedService({testKey, QStringLiteral("http://127.0.0.1:%1").arg(closedPort)});
    const auto refused = send(refusedService, QStringLiteral("a@example.com"), QStringLiteral("s"));

    InboxServer slowInbox({.apiKey = testKey, .delayMs = 1'500});
    QVERIFY2(slowInbox.isRunning(), qPrintable(slowInbox.errorString()));
    ResendService impatientService(configFor(slowInbox), 300ms);
    const auto timedOut =
        send(impatientService, QStringLiteral("a@example.com"), QStringLiteral("s"));

    QVERIFY(completesOnceLater(*refused));
    QVERIFY(!refused->success);
    QVERIFY(refused->error);
    QCOMPARE(refused->error->kind, EmailError::Kind::Network);
    QVERIFY2(refused->error->description.contains("refused", Qt::CaseInsensitive),
             qPrintable(refused->error->description));

    QVERIFY(completesOnceLater(*timedOut));
    QVERIFY(!timedOut->success);
    QVERIFY(timedOut->error);
    QCOMPARE(timedOut->error->kind, EmailError::Kind::TimedOut);
    QVERIFY2(timedOut->error->description.contains("timed out", Qt::CaseInsensitive),
             qPrintable(timedOut->error->description));
    // The late answer must not produce a second completion.
    QTest::qWait(1'500);
    QCOMPARE(timedOut->calls, 1);

    for (const auto &record : {refused, timedOut})
        QVERIFY(!record->error->description.contains(testKey));
}

void TestResendService::backToBackSendsAreBothInFlight()
{
    InboxServer inbox({.apiKey = testKey, .delayMs = 2'000});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    ResendService service(configFor(inbox));

    const auto first = send(service, QStringLiteral("a@example.com"), QStringLiteral("first"));
    const auto second = send(service, QStringLiteral("a@example.com"), QStringLiteral("second"));
    // Both requests reach the inbox while the first answer is still held back.
    QTRY_COMPARE_WITH_TIMEOUT(inbox.requests().size(), 2, 10'000);
    QCOMPARE(first->calls, 0);

    QVERIFY(completesOnceLater(*first));
    QVERIFY(completesOnceLater(*second));
    QVERIFY(first->success && second->success);
    QCOMPARE(inbox.emails().size(), 2);
}

void TestResendService::destroyingCompletesPendingSendsOnce()
{
    InboxServer inbox({.apiKey = testKey, .delayMs = 5'000});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    auto service = std::make_unique<ResendService>(configFor(inbox));
    const auto record = send(*service, QStringLiteral("a@example.com"), QStringLiteral("s"));
    QTRY_COMPARE_WITH_TIMEOUT(inbox.requests().size(), 1, 10'000);

    service.reset();
    QCOMPARE(record->calls, 1);
    QVERIFY(!record->success);
    QVERIFY(record->error);
    QCOMPARE(record->error->kind, EmailError::Kind::Cancelled);
    QTest::qWait(100);
    QCOMPARE(record->calls, 1);
}

void TestResendService::failuresBeforeSendingCompleteAtOnce()
{
    InboxServer inbox({.apiKey = testKey});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));

    ResendService plainHttpElsewhere({testKey, QStringLiteral("http://example.com")});
    ResendService keyWithLineBreak({testKey + "\r\nX-Injected: 1", inbox.baseUrl().toString()});
    ResendService service(configFor(inbox));
    const QString loneSurrogate(QChar(0xD800));

    const auto records = {
        std::pair{send(plainHttpElsewhere, "a@example.com", "s"), EmailError::Kind::Misconfigured},
        std::pair{send(keyWithLineBreak, "a@example.com", "s"), EmailError::Kind::Misconfigured},
        std::pair{send(service, "a@example.com", "bad " + loneSurrogate),
                  EmailError::Kind::InvalidMessage},
    };
    for (const auto &[record, kind] : records) {
        QCOMPARE(record->calls, 1);
        QVERIFY(record->ranInsideSend);
        QVERIFY(!record->success);
        QVERIFY(record->error);
        QCOMPARE(record->error->kind, kind);
        QVERIFY(!record->error->description.isEmpty());
        QVERIFY(!record->error->description.contains(testKey));
    }
    // Nothing reached the inbox; a valid send afterwards is the only request.
    QVERIFY(completesOnceLater(*send(service, "a@example.com", "valid")));
    QCOMPARE(inbox.requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestResendService)
#include "tst_resend_service.moc"
