// nimbrel-inbox answers like the provider, keeps what it accepts, and shows
// messages without letting them run script. Requests are written by hand so
// every header (or its absence) is under the test's control.
#include "InboxServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QByteArray inboxKey = "inbox-key";

struct Answer
{
    int status = 0;
    QByteArray headers;
    QByteArray body;
};

Answer exchange(const QUrl &base, const QByteArray &requestLine, const QByteArrayList &headers,
                const QByteArray &body = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(base.port()));
    if (!socket.waitForConnected(5'000))
        return {};
    QByteArray request = requestLine + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const QByteArray &header : headers)
        request += header + "\r\n";
    request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    socket.write(request);

    QByteArray raw;
    static const QRegularExpression contentLength(QStringLiteral("(?i)content-length: *(\\d+)"));
    while (socket.waitForReadyRead(5'000)) {
        raw += socket.readAll();
        const qsizetype end = raw.indexOf("\r\n\r\n");
        if (end < 0)
            continue;
        Answer answer{raw.mid(9, 3).toInt(), raw.left(end), raw.mid(end + 4)};
        const auto match = contentLength.match(QString::fromLatin1(answer.headers));
        if (match.hasMatch() && answer.body.size() >= match.captured(1).toInt())
            return answer;
    }
    return {};
}

Answer postEmail(const QUrl &base, const QByteArray &body,
                 const QByteArrayList &headers = {"Authorization: Bearer " + inboxKey,
                                                  "User-Agent: tst",
                                                  "Content-Type: application/json"})
{
    return exchange(base, "POST /emails", headers, body);
}

QByteArray email(const QByteArray &to, const QByteArray &subject = "hello")
{
    return R"({"from":"Nimbrel <onboarding@resend.dev>","to":)" + to + R"(,"subject":")" + subject +
           R"(","html":"<p>hi</p>"})";
}

QByteArray recipients(int count)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list.append("\"r" + QByteArray::number(i) + "@example.com\"");
    return "[" + list.join(',') + "]";
}

} // namespace

class TestNimbrelInbox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validatesLikeTheProvider_data();
    void validatesLikeTheProvider();
    void keepsNewestFirstWithinItsCap();
    void pageShowsMessagesWithoutRunningThem();

private:
    std::unique_ptr<InboxServer> m_inbox;
};

void TestNimbrelInbox::initTestCase()
{
    m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = inboxKey});
    QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));
}

void TestNimbrelInbox::validatesLikeTheProvider_data()
{
    QTest::addColumn<QByteArrayList>("headers");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("name"); // empty for an accepted send

    const QByteArrayList ok{"Authorization: Bearer " + inboxKey, "User-Agent: tst"};
    const QByteArray valid = email(R"(["a@example.com"])");
    QTest::newRow("accepted") << ok << valid << 200 << "";
    QTest::newRow("to as a string") << ok << email(R"("Ann <ann@mail.example.org>")") << 200 << "";
    QTest::newRow("50 recipients") << ok << email(recipients(50)) << 200 << "";
    QTest::newRow("text without html")
        << ok
        << QByteArray(R"({"from":"a@b.co","to":"c@d.co","subject":"s","text":"t","html":null})")
        << 200 << "";

    QTest::newRow("no authorization")
        << QByteArrayList{"User-Agent: tst"} << valid << 401 << "missing_api_key";
    QTest::newRow("empty bearer") << QByteArrayList{"Authorization: Bearer ", "User-Agent: tst"}
                                  << valid << 401 << "missing_api_key";
    QTest::newRow("other scheme") << QByteArrayList{"Authorization: Basic " + inboxKey,
                                                    "User-Agent: tst"}
                                  << valid << 401 << "missing_api_key";
    QTest::newRow("wrong key") << QByteArrayList{"Authorization: Bearer other", "User-Agent: tst"}
                               << valid << 403 << "invalid_api_key";
    QTest::newRow("no user agent") << QByteArrayList{"Authorization: Bearer " + inboxKey} << valid
                                   << 403 << "validation_error";

    QTest::newRow("not JSON") << ok << QByteArray("from=a") << 422 << "validation_error";
    QTest::newRow("from missing") << ok << QByteArray(R"({"to":"a@b.co","subject":"s"})") << 422
                                  << "missing_required_field";
    QTest::newRow("from malformed")
        << ok << QByteArray(R"({"from":"onboarding","to":"a@b.co","subject":"s"})") << 422
        << "invalid_from_address";
    QTest::newRow("to missing") << ok << QByteArray(R"({"from":"a@b.co","subject":"s"})") << 422
                                << "missing_required_field";
    QTest::newRow("to empty array") << ok << email("[]") << 422 << "missing_required_field";
    QTest::newRow("to empty string") << ok << email(R"("")") << 422 << "validation_error";
    QTest::newRow("to without domain") << ok << email(R"(["a@b"])") << 422 << "validation_error";
    QTest::newRow("to unclosed bracket")
        << ok << email(R"(["Ann <a@b.co"])") << 422 << "validation_error";
    QTest::newRow("51 recipients") << ok << email(recipients(51)) << 422 << "validation_error";
    QTest::newRow("to a number") << ok << email("7") << 422 << "validation_error";
    QTest::newRow("subject missing") << ok << QByteArray(R"({"from":"a@b.co","to":"c@d.co"})")
                                     << 422 << "missing_required_field";
    QTest::newRow("html a number")
        << ok << QByteArray(R"({"from":"a@b.co","to":"c@d.co","subject":"s","html":1})") << 422
        << "validation_error";
    QTest::newRow("text an array")
        << ok << QByteArray(R"({"from":"a@b.co","to":"c@d.co","subject":"s","text":[]})") << 422
        << "validation_error";
}

void TestNimbrelInbox::validatesLikeTheProvider()
{
    QFETCH(QByteArrayList, headers);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, name);
    const qsizetype storedBefore = m_inbox->emails().size();

    const Answer answer = postEmail(m_inbox->baseUrl(), body, headers);
    QCOMPARE(answer.status, status);
    const QJsonObject json = QJsonDocument::fromJson(answer.body).object();
    if (name.isEmpty()) {
        QCOMPARE(json.keys(), QStringList{"id"});
        QVERIFY(!QUuid::fromString(json["id"].toString()).isNull());
        QCOMPARE(m_inbox->emails().first()["id"], json["id"]);
    } else {
        QCOMPARE(json.keys(), (QStringList{"message", "name", "statusCode"}));
        QCOMPARE(json["statusCode"].toInt(), status);
        QCOMPARE(json["name"].toString(), name);
        QVERIFY(!json["message"].toString().isEmpty());
    }
    QCOMPARE(m_inbox->emails().size(), storedBefore + (name.isEmpty() ? 1 : 0));
    QCOMPARE(m_inbox->requests().first()["status"].toInt(), status);
    QVERIFY(!QJsonDocument(m_inbox->requests()).toJson().contains(inboxKey));
}

void TestNimbrelInbox::keepsNewestFirstWithinItsCap()
{
    InboxServer inbox({.apiKey = inboxKey, .maxMessages = 3});
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    const QByteArrayList subjects{"m1", "m2", "m3", "m4", "two\\nlines"};
    for (const QByteArray &subject : subjects)
        QCOMPARE(postEmail(inbox.baseUrl(), email(R"("a@example.com")", subject)).status, 200);

    QStringList kept;
    for (const QJsonValue &message : inbox.emails())
        kept.append(message["subject"].toString());
    QCOMPARE(kept, (QStringList{"two\nlines", "m4", "m3"}));
    QCOMPARE(inbox.requests().size(), 3);

    // One line per send, the control character flattened so it stays one line.
    QStringList lines;
    QTRY_COMPARE_WITH_TIMEOUT((lines = inbox.outputLines()).size(), 5, 5'000);
    QVERIFY2(lines[0].contains("200  to: a@example.com  subject: m1"), qPrintable(lines[0]));
    QVERIFY2(lines[4].endsWith("subject: two lines"), qPrintable(lines[4]));
}

void TestNimbrelInbox::pageShowsMessagesWithoutRunningThem()
{
    InboxServer inbox;
    QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
    const QString html =
        QStringLiteral(R"(<script>alert(1)</script>"><img src=x onerror=alert(2)> & é)");
    const QJsonObject send{{"from", "a@example.com"},
                           {"to", "b@example.com"},
                           {"subject", "<b>bold</b>\"'"},
                           {"html", html}};
    QCOMPARE(postEmail(inbox.baseUrl(), QJsonDocument(send).toJson(),
                       {"Authorization: Bearer any", "User-Agent: tst"})
                 .status,
             200);

    const Answer page = exchange(inbox.baseUrl(), "GET /", {});
    QCOMPARE(page.status, 200);
    QVERIFY(page.headers.contains("Content-Security-Policy: default-src 'none'"));
    const QString text = QString::fromUtf8(page.body);
    for (const char *active : {"<script", "<img", "<b>", "allow-scripts"})
        QVERIFY2(!text.contains(QLatin1String(active)), active);
    const auto frame =
        QRegularExpression(QStringLiteral(R"re(<iframe sandbox="" [^>]*srcdoc="([^"]*)")re"))
            .match(text);
    QVERIFY2(frame.hasMatch(), qPrintable(text));
    QString srcdoc = frame.captured(1);
    srcdoc.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
    QCOMPARE(srcdoc, html);

    const Answer missing = exchange(inbox.baseUrl(), "GET /nothing-here", {});
    QCOMPARE(missing.status, 404);
    QCOMPARE(QJsonDocument::fromJson(missing.body)["name"].toString(), QStringLiteral("not_found"));
}

QTEST_GUILESS_MAIN(TestNimbrelInbox)
#include "tst_nimbrel_inbox.moc"
