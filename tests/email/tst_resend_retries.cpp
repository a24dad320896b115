// Retries of notices against the local inbox, behind a front that fails the
// first tries in scripted ways: every e-mail is stored once, never twice, and
// refusals that another try cannot mend are not retried.
#include "InboxServer.h"
#include "ProviderAnswer.h"
#include "ResendService.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString inboxKey = u"retry-key"_s;

// Reads one HTTP message (headers and a Content-Length body) from a socket.
QByteArray readMessage(QTcpSocket &socket)
{
    QByteArray raw;
    for (;;) {
        const qsizetype end = raw.indexOf("\r\n\r\n");
        if (end >= 0) {
            const qsizetype at = raw.toLower().indexOf("content-length:");
            const qsizetype length =
                at < 0 || at > end
                    ? 0
                    : raw.mid(at + 15, raw.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            if (raw.size() >= end + 4 + length)
                return raw;
        }
        if (!socket.waitForReadyRead(5'000))
            return raw;
        raw += socket.readAll();
    }
}

// Stands before the inbox: the n-th request gets the n-th scripted step, and
// every request past the script is passed through.
class ScriptedFront : public QTcpServer
{
public:
    enum class Step { PassThrough, PassThroughThenDrop, Answer };

    struct Action
    {
        Step step = Step::PassThrough;
        QByteArray answer; // for Answer: the whole HTTP answer
    };

    ScriptedFront(const QUrl &inbox, QList<Action> script)
        : m_inbox(inbox), m_script(std::move(script))
    {
        m_clock.start();
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = nextPendingConnection())
                serve(client);
        });
    }

    QUrl url() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(serverPort())); }
    QList<QByteArray> idempotencyKeys; // of each request, in order
    QList<qint64> arrivals;            // ms after the front opened, once each request was read

private:
    void serve(QTcpSocket *client)
    {
        QByteArray request = readMessage(*client);
        arrivals.append(m_clock.elapsed());
        const qsizetype at = request.toLower().indexOf("\r\nidempotency-key: ");
        idempotencyKeys.append(
            at < 0 ? QByteArray()
                   : request.mid(at + 19, request.indexOf("\r\n", at + 2) - at - 19));
        const Action action = m_script.value(idempotencyKeys.size() - 1);
        if (action.step == Step::Answer) {
            client->write(action.answer);
        } else {
            QTcpSocket inbox;
            inbox.connectToHost(QHostAddress::LocalHost, quint16(m_inbox.port()));
            inbox.waitForConnected(5'000);
            // The inbox answers only requests addressed to it.
            const QByteArray port = QByteArray::number(serverPort());
            inbox.write(request.replace("Host: 127.0.0.1:" + port,
                                        "Host: 127.0.0.1:" + QByteArray::number(m_inbox.port())));
            const QByteArray answer = readMessage(inbox);
            // Dropped after the inbox took the e-mail: the client never hears.
            if (action.step == Step::PassThrough)
                client->write(answer);
        }
        client->waitForBytesWritten(5'000);
        client->abort();
        client->deleteLater();
    }

    QUrl m_inbox;
    QList<Action> m_script;
    QElapsedTimer m_clock;
};

QByteArray httpAnswer(int status, const QByteArray &headers = {}, const QByteArray &body = "{}")
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\n" +
           headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

} // namespace

class TestResendRetries : public QObject
{
    Q_OBJECT

private slots:
    void notices_data()
    {
        QTest::addColumn<QList<ScriptedFront::Action>>("script");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("retried"); // sent with Retry::OnTransientFailure
        // Before each try after the first: the least time since the one before.
        QTest::addColumn<QList<int>>("waitsMs");
        QTest::addColumn<QString>("error"); // empty on success

        using enum ScriptedFront::Step;
        const QString to = u"i@example.com"_s;
        const auto answer = [](int status, const QByteArray &headers = {},
                               const QByteArray &body = "{}") {
            return ScriptedFront::Action{Answer, httpAnswer(status, headers, body)};
        };
        const QList<int> noRetry;
        QTest::newRow("429 with Retry-After, then success")
            << QList{answer(429, "Retry-After: 1\r\n")} << to << true << QList{1'000} << QString();
        QTest::newRow("503, then success")
            << QList{answer(503)} << to << true << QList{50} << QString();
        QTest::newRow("connection dropped after delivery, then success")
            << QList{ScriptedFront::Action{PassThroughThenDrop, {}}} << to << true << QList{50}
            << QString();
        QTest::newRow("200 without a message id, then success")
            << QList{answer(200)} << to << true << QList{50} << QString();
        QTest::newRow("503 three times")
            << QList{answer(503), answer(502), answer(500)} << to << true << QList{50, 100}
            << u"the e-mail service answered 500 (the e-mail service failed)"_s;
        QTest::newRow("429 asking for more than the deadline")
            << QList{answer(429, "Retry-After: 120\r\n")} << to << true << noRetry
            << u"the e-mail service answered 429 (the e-mail service's rate limit or daily quota "
               "was reached)"_s;
        QTest::newRow("401") << QList{answer(401)} << to << true << noRetry
                             << u"the e-mail service answered 401 (the API key was refused)"_s;
        QTest::newRow("403 naming the key")
            << QList{answer(403, {}, R"({"message":"Key retry-key\nis revoked"})")} << to << true
            << noRetry << u"the e-mail service answered 403 (the API key was refused)"_s;
        QTest::newRow("422 with the inbox's message")
            << QList<ScriptedFront::Action>{} << u"not-an-address"_s << true << noRetry
            << u"the e-mail service answered 422 (Invalid `to` field. The email address needs to "
               "follow the `email@example.com` or `Name <email@example.com>` format.)"_s;
        QTest::newRow("verification code: 503 is final")
            << QList{answer(503)} << to << false << noRetry
            << u"the e-mail service answered 503 (the e-mail service failed)"_s;
    }

    void notices()
    {
        QFETCH(QList<ScriptedFront::Action>, script);
        QFETCH(QString, to);
        QFETCH(bool, retried);
        QFETCH(QList<int>, waitsMs);
        QFETCH(QString, error);
        InboxServer inbox({.apiKey = inboxKey});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        ScriptedFront front(inbox.baseUrl(), script);
        ResendService service({inboxKey, front.url().toString()},
                              ResendLimits{.deadline = 10s, .firstRetryDelay = 50ms});

        int calls = 0;
        bool success = false;
        QString description;
        service.sendEmail(
            to, u"Nimbrel Monitoring Stopped"_s, u"<p>x</p>"_s, std::nullopt,
            [&](bool ok, std::optional<EmailError> failure) {
                ++calls;
                success = ok;
                description = failure ? failure->description : QString();
            },
            retried ? EmailSender::Retry::OnTransientFailure : EmailSender::Retry::Never);
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 15'000);
        QCOMPARE(description, error);
        QCOMPARE(success, error.isEmpty());
        QCOMPARE(front.arrivals.size(), waitsMs.size() + 1);
        // Measured between arrivals at the front, so a busy machine can only lengthen them.
        for (qsizetype i = 0; i < waitsMs.size(); ++i)
            QVERIFY2(front.arrivals[i + 1] - front.arrivals[i] >= waitsMs[i],
                     qPrintable(u"try %1 came %2 ms after the one before"_s.arg(i + 2).arg(
                         front.arrivals[i + 1] - front.arrivals[i])));
        // One key for every try of the e-mail, so the inbox stores it once.
        QVERIFY(!QUuid::fromString(front.idempotencyKeys.first()).isNull());
        QCOMPARE(QSet(front.idempotencyKeys.begin(), front.idempotencyKeys.end()).size(), 1);
        QCOMPARE(inbox.emails().size(), success ? 1 : 0);
        QCOMPARE(calls, 1);
    }

    // The wait the provider asks for, in each of its forms.
    void readsTheRequestedWait()
    {
        const QDateTime now = QDateTime::fromString(u"2026-12-07T10:00:00Z"_s, Qt::ISODate);
        const struct
        {
            QByteArray retryAfter, reset;
            std::optional<std::chrono::milliseconds> wait;
        } cases[] = {
            {"7", {}, 7s},
            {"Mon, 07 Dec 2026 10:00:30 GMT", {}, 30s},
            {"Mon, 07 Dec 2026 09:00:00 GMT", {}, 0s}, // already past
            {{}, "12", 12s},
            {"soon", {}, std::nullopt},
            {"99999999999999999", {}, 365 * 24h},
            {"-3", {}, std::nullopt},
        };
        for (const auto &[retryAfter, reset, wait] : cases) {
            HttpResponse response;
            response.retryAfter = retryAfter;
            response.rateLimitReset = reset;
            QVERIFY2(ProviderAnswer::requestedWait(response, now) == wait, retryAfter + reset);
        }
    }
};

QTEST_GUILESS_MAIN(TestResendRetries)
#include "tst_resend_retries.moc"
