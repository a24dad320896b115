// nimbrel-inbox answers like the provider, keeps what it accepts, and shows
// messages without letting them run script. Requests are written by hand so
// every header (or its absence) is under the test's control.
#include "InboxServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray inboxKey = "inbox-key", ok = "Authorization: Bearer inbox-key\r\nUser-Agent: t";

struct Answer
{
    int status = 0;
    QByteArray head, body;
};

// One request on its own connection; the answer once its body is complete.
Answer exchange(const QUrl &base, const QByteArray &requestLine, const QByteArray &body = {},
                const QByteArray &headers = ok)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(base.port()));
    socket.write(requestLine + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    static const QRegularExpression length(u"(?i)\r\ncontent-length: *(\\d+)"_s);
    for (QByteArray raw; socket.waitForReadyRead(5'000);) {
        raw += socket.readAll();
        const qsizetype end = raw.indexOf("\r\n\r\n");
        const auto match = length.match(QString::fromLatin1(raw.left(end)));
        if (end > 0 && match.hasMatch() && raw.size() >= end + 4 + match.captured(1).toInt())
            return {raw.mid(9, 3).toInt(), raw.left(end), raw.mid(end + 4)};
    }
    return {};
}

// A send from a@b.co with subject "s" and the given further members.
QByteArray sendWith(const QByteArray &members)
{
    return R"({"from":"a@b.co","subject":"s",)" + members + "}";
}

} // namespace

class TestNimbrelInbox : public QObject
{
    Q_OBJECT

private slots:
    void validatesLikeTheProvider()
    {
        InboxServer inbox({.apiKey = QString::fromLatin1(inboxKey)});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QByteArray valid = sendWith(R"("to":["a@example.com"])"),
                         fifty = R"("to":[)" + QByteArray(R"("r@e.co",)").repeated(50);
        const struct
        {
            QByteArray body;
            int status;
            const char *name; // the error's name; "id" for an accepted send
            QByteArray headers = ok;
        } cases[] = {
            {valid, 200, "id"},
            {sendWith(R"("to":"Ann <ann@mail.example.org>")"), 200, "id"},
            {sendWith(fifty.chopped(1) + "]"), 200, "id"},
            {sendWith(R"("to":"c@d.co","text":"t","html":null)"), 200, "id"},
            {valid, 401, "missing_api_key", "User-Agent: t"},
            {valid, 401, "missing_api_key", "Authorization: Bearer \r\nUser-Agent: t"},
            {valid, 401, "missing_api_key", "Authorization: Basic inbox-key\r\nUser-Agent: t"},
            {valid, 403, "invalid_api_key", "Authorization: Bearer x\r\nUser-Agent: t"},
            {valid, 403, "validation_error", "Authorization: Bearer inbox-key"},
            {"from=a", 422, "validation_error"},
            {R"({"to":"a@b.co","subject":"s"})", 422, "missing_required_field"},
            {R"({"from":"x","to":"a@b.co","subject":"s"})", 422, "invalid_from_address"},
            {R"({"from":"a@b.co","to":"c@d.co"})", 422, "missing_required_field"},
            {sendWith(R"("html":"h")"), 422, "missing_required_field"},
            {sendWith(R"("to":[])"), 422, "missing_required_field"},
            {sendWith(R"("to":"")"), 422, "validation_error"},
            {sendWith(R"("to":["a@b"])"), 422, "validation_error"},
            {sendWith(R"("to":["Ann <a@b.co"])"), 422, "validation_error"},
            {sendWith(R"("to":7)"), 422, "validation_error"},
            {sendWith(fifty + R"("r@e.co"])"), 422, "validation_error"},
            {sendWith(R"("to":"c@d.co","html":1)"), 422, "validation_error"},
            {sendWith(R"("to":"c@d.co","text":[])"), 422, "validation_error"},
        };
        for (const auto &[body, status, name, headers] : cases) {
            const qsizetype stored = inbox.emails().size();
            const Answer answer = exchange(inbox.baseUrl(), "POST /emails", body, headers);
            const QJsonObject json = QJsonDocument::fromJson(answer.body).object();
            const bool accepted = name == QByteArray("id");
            QVERIFY2(answer.status == status && json.contains(accepted ? "id" : "name"),
                     headers + ' ' + body + " -> " + answer.body);
            QCOMPARE(inbox.emails().size(), stored + (accepted ? 1 : 0));
            if (accepted) {
                QVERIFY(!QUuid::fromString(json["id"].toString()).isNull());
                QCOMPARE(inbox.emails().first()["id"], json["id"]);
            } else {
                QCOMPARE(json, (QJsonObject{{"statusCode", status},
                                            {"name", name},
                                            {"message", json["message"]}}));
                QVERIFY(!json["message"].toString().isEmpty());
            }
        }
        QVERIFY(!QJsonDocument(inbox.requests()).toJson().contains(inboxKey));
    }

    void keepsAndShowsMessagesSafely()
    {
        InboxServer inbox({.maxMessages = 3});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QString html = u"<script>alert(1)</script>\"><img src=x onerror=alert(2)> & é"_s;
        for (const QString subject : {"m1", "m2", "m3", "two\nlines", "<b>bold</b>\"'"}) {
            const QJsonObject send{
                {"from", "a@b.co"}, {"to", "c@d.co"}, {"subject", subject}, {"html", html}};
            QCOMPARE(exchange(inbox.baseUrl(), "POST /emails", QJsonDocument(send).toJson()).status,
                     200);
        }
        QStringList kept;
        for (const QJsonValue &message : inbox.emails())
            kept.append(message["subject"].toString());
        QCOMPARE(kept, (QStringList{"<b>bold</b>\"'", "two\nlines", "m3"})); // newest first, capped
        QCOMPARE(inbox.requests().size(), 3);
        // One line per send, the line break flattened so it stays one line.
        QStringList lines;
        QTRY_COMPARE_WITH_TIMEOUT((lines = inbox.outputLines()).size(), 5, 5'000);
        QVERIFY2(lines[0].contains("200  to: c@d.co  subject: m1"), qPrintable(lines[0]));
        QVERIFY2(lines[3].endsWith("subject: two lines"), qPrintable(lines[3]));

        // The page shows the newest message in a sandboxed frame and runs none of it.
        const Answer page = exchange(inbox.baseUrl(), "GET /");
        QCOMPARE(page.status, 200);
        QVERIFY(page.head.contains("Content-Security-Policy: default-src 'none'"));
        const QString text = QString::fromUtf8(page.body);
        for (const char *active : {"<script", "<img", "<b>", "allow-scripts"})
            QVERIFY2(!text.contains(QLatin1String(active)), active);
        const auto frame =
            QRegularExpression(u"<iframe sandbox=\"\" [^>]*srcdoc=\"([^\"]*)\""_s).match(text);
        QVERIFY2(frame.hasMatch(), qPrintable(text));
        QString srcdoc = frame.captured(1);
        srcdoc.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&amp;", "&");
        QCOMPARE(srcdoc, html);
    }
};

QTEST_GUILESS_MAIN(TestNimbrelInbox)
#include "tst_nimbrel_inbox.moc"
