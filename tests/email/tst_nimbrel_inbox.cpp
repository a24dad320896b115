// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-inbox answers like the provider, keeps what it accepts, and shows
// messages under a policy that lets no message run script. Requests are written by hand so
// every header (or its absence) is under the test's control.
#include "InboxServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QtTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray inboxKey = "inbox-key", ok = "Authorization: Bearer inbox-key\r\nUser-Agent: t";

struct Answer
{
    int status = 0; // 0: no whole answer came
    QByteArray body;
    QByteArray head; // status line and headers
};

// One whole answer on the socket, its Content-Length body read too.
Answer readAnswer(QTcpSocket &socket)
{
    QByteArray raw;
    for (;;) {
        const qsizetype end = raw.indexOf("\r\n\r\n"), at = raw.indexOf("\r\nContent-Length: ");
        if (end >= 0 && at >= 0 && at < end) {
            const qint64 length =
                raw.mid(at + 18, raw.indexOf("\r\n", at + 2) - at - 18).toLongLong();
            if (raw.size() >= end + 4 + length)
                return {raw.mid(9, 3).toInt(), raw.mid(end + 4, length), raw.left(end + 2)};
        }
        if (!socket.waitForReadyRead(10'000))
            return {};
        raw += socket.readAll();
    }
}

QByteArray hostHeader(const InboxServer &inbox)
{
    return "Host: 127.0.0.1:" + QByteArray::number(inbox.baseUrl().port()) + "\r\n";
}

// One request on its own connection.
Answer exchange(const InboxServer &inbox, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(inbox.baseUrl().port()));
    socket.write(request);
    return readAnswer(socket);
}

Answer post(const InboxServer &inbox, const QByteArray &body, const QByteArray &headers = ok)
{
    return exchange(inbox, "POST /emails HTTP/1.1\r\n" + hostHeader(inbox) + headers +
                               "\r\nContent-Length: " + QByteArray::number(body.size()) +
                               "\r\n\r\n" + body);
}

// The inbox's /proc/PID/<file>, such as "status" or "limits"; empty if unread.
QByteArray procFile(const InboxServer &inbox, const char *file)
{
    QFile f(u"/proc/%1/%2"_s.arg(inbox.processId()).arg(QLatin1String(file)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
            int status = 200;
            const char *name = nullptr; // the error's name, for a refused send
            QByteArray headers = ok;
        } cases[] = {
            {valid},
            {sendWith(fifty.chopped(1) + "]")},
            {valid, 401, "missing_api_key", "User-Agent: t"},
            {valid, 401, "missing_api_key", "Authorization: Bearer \r\nUser-Agent: t"},
            {valid, 403, "invalid_api_key", "Authorization: Bearer x\r\nUser-Agent: t"},
            {valid, 403, "validation_error", "Authorization: Bearer inbox-key"},
            {"from=a", 422, "validation_error"},
            {R"({"to":"a@b.co","subject":"s"})", 422, "missing_required_field"},
            {R"({"from":"x","to":"a@b.co","subject":"s"})", 422, "invalid_from_address"},
            {R"({"from":"a@b.co","to":"c@d.co"})", 422, "missing_required_field"},
            {sendWith(R"("html":"h")"), 422, "missing_required_field"},
            {sendWith(R"("to":"")"), 422, "validation_error"},
            {sendWith(R"("to":["a@b"])"), 422, "validation_error"},
            {sendWith(fifty + R"("r@e.co"])"), 422, "validation_error"},
            {sendWith(R"("to":"c@d.co","html":1)"), 422, "validation_error"},
            {sendWith(R"("to":"c@d.co","text":[])"), 422, "validation_error"},
        };
        for (const auto &[body, status, name, headers] : cases) {
            const qsizetype stored = inbox.emails().size();
            const auto [answerStatus, answer, head] = post(inbox, body, headers);
            const QJsonObject json = QJsonDocument::fromJson(answer).object();
            // Accepted: a fresh id and nothing else; refused: the provider's error shape.
            const QJsonObject expected = name ? QJsonObject{{"statusCode", status},
                                                            {"name", name},
                                                            {"message", json["message"]}}
                                              : QJsonObject{{"id", json["id"]}};
            QVERIFY2(answerStatus == status && json == expected, body + " -> " + answer);
            QVERIFY(name ? !json["message"].toString().isEmpty()
                         : !QUuid::fromString(json["id"].toString()).isNull());
            QCOMPARE(inbox.emails().size(), stored + (name ? 0 : 1));
        }
        QVERIFY(!QJsonDocument(inbox.requests()).toJson().contains(inboxKey));
    }

    // Idempotency-Key as the provider documents it: the same key and body answer
    // the first response again and store nothing new; another body is a conflict.
    void repeatsAnswersForAnIdempotencyKey()
    {
        InboxServer inbox({.apiKey = QString::fromLatin1(inboxKey)});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QByteArray first = sendWith(R"("to":"a@example.com")"),
                         other = sendWith(R"("to":"b@example.com")"),
                         withKey = ok + "\r\nIdempotency-Key: k-1";
        const struct
        {
            QByteArray body, headers;
            int status;
            qsizetype stored; // messages in the inbox afterwards
        } cases[] = {
            {first, withKey, 200, 1},
            {first, withKey, 200, 1},
            {other, withKey, 409, 1},
            {first, ok, 200, 2}, // no key: a new e-mail
            {first, ok + "\r\nIdempotency-Key: " + QByteArray(257, 'k'), 400, 2},
        };
        QByteArray firstId;
        for (const auto &[body, headers, status, stored] : cases) {
            const Answer answer = post(inbox, body, headers);
            QVERIFY2(answer.status == status, answer.body);
            QCOMPARE(inbox.emails().size(), stored);
            const QByteArray id = QJsonDocument::fromJson(answer.body)["id"].toString().toUtf8();
            if (headers == withKey && status == 200)
                QCOMPARE(id, firstId.isEmpty() ? (firstId = id) : firstId);
        }
    }

    // Beyond --limit-per-second requests in a second, or --daily-quota e-mails,
    // the inbox answers 429 with the provider's headers.
    void answers429BeyondItsLimits()
    {
        const QByteArray send = sendWith(R"("to":"a@example.com")");
        InboxServer fast({.limitPerSecond = 2}), daily({.dailyQuota = 2});
        QVERIFY2(fast.isRunning() && daily.isRunning(), qPrintable(fast.errorString()));
        QList<int> fastStatuses, dailyStatuses;
        for (int i = 0; i < 3; ++i) {
            fastStatuses.append(post(fast, send).status);
            dailyStatuses.append(post(daily, send).status);
        }
        // Three requests well within one second: the third is over the limit.
        QCOMPARE(fastStatuses, (QList<int>{200, 200, 429}));
        QCOMPARE(dailyStatuses, (QList<int>{200, 200, 429}));
        const Answer refused = post(daily, send);
        QCOMPARE(QJsonDocument::fromJson(refused.body)["name"].toString(),
                 u"daily_quota_exceeded"_s);
        const QByteArray head = refused.head.toLower();
        QVERIFY2(head.contains("\r\nretry-after: ") && head.contains("\r\nratelimit-reset: ") &&
                     head.contains("\r\nratelimit-limit: 2\r\n"),
                 refused.head);
        QCOMPARE(daily.emails().size(), 2);
        // Room again a second later.
        QVERIFY(QTest::qWaitFor([&] { return post(fast, send).status == 200; }, 5'000));
    }

    // What the inbox must refuse before it reads a body: a request for another
    // host (DNS rebinding), a body over the provider's 40 MB, a body of no
    // length, and every head HTTP/1.1 forbids or two readers could take apart
    // differently (the first of each pair hides a 45 MB body).
    void refusesBeforeReading()
    {
        InboxServer inbox;
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QByteArray port = QByteArray::number(inbox.baseUrl().port());
        const QByteArray other = QByteArray::number(inbox.baseUrl().port() + 1);
        const QByteArray post = "POST /emails HTTP/1.1\r\n" + hostHeader(inbox);
        const std::pair<QByteArray, int> cases[] = {
            {"GET /api/emails HTTP/1.1\r\nHost: 127.0.0.1:" + port, 200},
            {"GET /api/emails HTTP/1.1\r\nHost: localhost:" + port, 200},
            {"GET /api/emails HTTP/1.1\r\nHost: [::1]:" + port, 200},
            {"GET /api/emails HTTP/1.1\r\nHost: attacker.example:" + port, 421},
            {"GET /api/emails HTTP/1.1\r\nHost: 127.0.0.1:" + other, 421},
            {"GET /api/emails HTTP/1.1\r\nHost: 127.0.0.1", 421},
            {"GET /api/emails HTTP/1.1", 421},
            {post + "Content-Length: 100000000", 413},
            {post + "Transfer-Encoding: chunked", 411},
            {post + "Content-Length: 45000000\r\nContent-Length: 5", 400},
            {post + "Content-Length: 45000000 x", 400},
            {post + "Content-Length: 5\r\nTransfer-Encoding: chunked", 400},
            {post + "Content-Length:\r\n 45000000", 400},
            {"POST /emails HTTP/1.1\nHost: 127.0.0.1:" + port + "\nContent-Length: 45000000", 400},
            {"GET /api/emails HTTP/1.1\r\nHost: attacker.example\r\nHost: 127.0.0.1:" + port, 400},
        };
        // The head alone: an answer must come without any body being sent.
        for (const auto &[head, status] : cases)
            QVERIFY2(exchange(inbox, head + "\r\n\r\n").status == status, head.constData());
    }

    // Each request of a kept-alive connection passes the same gate as a first
    // one, before its body is read; every /api request wants the key; a
    // connection asked to close, or idle, is closed. The inbox's peak memory
    // stays far below the 45 MB offered.
    void gatesEveryRequestOfAConnection()
    {
        InboxServer inbox({.apiKey = QString::fromLatin1(inboxKey)});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QByteArray port = QByteArray::number(inbox.baseUrl().port());
        const QByteArray host = hostHeader(inbox),
                         get = "GET /api/emails HTTP/1.1\r\n" + host + ok + "\r\n",
                         post = "POST /emails HTTP/1.1\r\n" + host;
        const struct
        {
            QByteArray second;
            int status;
            qsizetype bodyBytes = 0; // sent after the head, whatever the answer
        } cases[] = {
            {get + "\r\n", 200},
            {post + "Content-Length: 45000000\r\n\r\n", 413, 45'000'000},
            {post + "Content-Length: 39000000\r\nContent-Length: 5\r\n\r\n", 400, 39'000'000},
            {post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
            {"GET /api/emails HTTP/1.1\r\nHost: attacker.example:" + port + "\r\n\r\n", 421},
            {"GET /api/emails HTTP/1.1\r\n" + host + "\r\n", 401},
            {"DELETE /api/emails HTTP/1.1\r\n" + host + "Origin: http://evil.example\r\n\r\n", 401},
            {"GET /api/requests HTTP/1.1\r\n" + host + "Authorization: Bearer x\r\n\r\n", 403},
        };
        for (const auto &[second, status, bodyBytes] : cases) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(inbox.baseUrl().port()));
            socket.write(get + "\r\n");
            QCOMPARE(readAnswer(socket).status, 200);
            socket.write(second + QByteArray(bodyBytes, 'x'));
            QVERIFY2(readAnswer(socket).status == status, second.constData());
        }
        static const QRegularExpression peak(u"VmHWM:\\s*(\\d+) kB"_s);
        const qint64 peakKiB = peak.match(procFile(inbox, "status")).captured(1).toLongLong();
        qInfo("the inbox's peak resident memory: %lld KiB", peakKiB);
        QVERIFY2(peakKiB > 0 && peakKiB < 48 * 1024, qPrintable(QString::number(peakKiB)));

        // Closed after an answer it was asked to close, and when idle.
        for (const QByteArray &close : {QByteArray("Connection: close\r\n"), QByteArray()}) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(inbox.baseUrl().port()));
            socket.write(get + close + "\r\n");
            QCOMPARE(readAnswer(socket).status, 200);
            QVERIFY(socket.state() == QAbstractSocket::UnconnectedState ||
                    socket.waitForDisconnected(close.isEmpty() ? 10'000 : 2'000));
        }
    }

    // Out of descriptors the inbox pauses accepting, neither spinning nor
    // failing, and answers again once connections close. It raises its own
    // limit to the hard limit first (here 64 -> 128).
    void pausesWhenOutOfDescriptors()
    {
        InboxServer inbox({.descriptorLimit = 64});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        const QByteArray limits = procFile(inbox, "limits");
        QVERIFY2(limits.contains("Max open files            128                  128"),
                 limits.constData());
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 150; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, quint16(inbox.baseUrl().port()));
        }
        // CPU time in clock ticks (utime + stime) over a second while full.
        const auto cpuTicks = [&] {
            const QList<QByteArray> fields = procFile(inbox, "stat").split(')').last().split(' ');
            return fields.value(12).toLongLong() + fields.value(13).toLongLong();
        };
        QTest::qWait(300);
        const qint64 ticksBefore = cpuTicks();
        QTest::qWait(1'000);
        QVERIFY2(cpuTicks() - ticksBefore < sysconf(_SC_CLK_TCK) / 5, "the inbox spins");
        idle.clear();
        QVERIFY(QTest::qWaitFor([&] { return inbox.get(u"/api/emails"_s) == "[]"; }, 10'000));
    }

    void keepsTheNewestMessages()
    {
        InboxServer inbox({.maxMessages = 3}); // accepts any key
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        for (const QString subject : {"m1", "m2", "m3", "m4", "<b>bold</b>\"'"}) {
            const QJsonObject send{
                {"from", "a@b.co"}, {"to", "c@d.co"}, {"subject", subject}, {"html", "<p>é</p>"}};
            QCOMPARE(post(inbox, QJsonDocument(send).toJson()).status, 200);
        }
        QStringList kept;
        for (const QJsonValue &message : inbox.emails())
            kept.append(message["subject"].toString());
        QCOMPARE(kept, (QStringList{"<b>bold</b>\"'", "m4", "m3"})); // newest first, capped
    }

    void servesThePageUnderAStrictPolicy()
    {
        InboxServer inbox;
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        // The page fetches the messages itself (its tests run in a browser); every
        // file of it forbids inline script and anything from elsewhere.
        for (const char *path : {"/", "/inbox.js", "/inbox.css"}) {
            const Answer answer =
                exchange(inbox, "GET "_ba + path + " HTTP/1.1\r\n" + hostHeader(inbox) + "\r\n");
            QVERIFY2(answer.status == 200 &&
                         answer.head.contains("Content-Security-Policy: default-src 'none'; "
                                              "script-src 'self';"),
                     answer.head.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestNimbrelInbox)
#include "tst_nimbrel_inbox.moc"
