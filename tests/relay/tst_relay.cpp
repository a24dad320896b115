// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-relay as a process, with nimbrel-inbox as its provider, driven by
// HTTP from here: on SQLite, or on PostgreSQL when NIMBREL_RELAY_TEST_DATABASE
// says so.
#include "HeadlessChromium.h"
#include "InboxServer.h"
#include "RelayProcess.h"
#include "RelayStore.h"
#include "TemporaryPostgres.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

const QString jane = QStringLiteral("jane@example.com");
const QString bob = QStringLiteral("bob@example.com");

QByteArray email(const QString &to, const QString &subject = QStringLiteral("Nimbrel Scan Results"),
                 const QString &extra = {})
{
    return QStringLiteral("{\"from\":\"onboarding@resend.dev\",\"to\":[\"%1\"],\"subject\":\"%2\","
                          "\"html\":\"<p>x</p>\",\"text\":\"x\"%3}")
        .arg(to, subject, extra)
        .toUtf8();
}

} // namespace

class TestRelay : public QObject
{
    Q_OBJECT

    std::unique_ptr<TemporaryPostgres> m_postgres;
    QTemporaryDir m_dir;
    QString m_database;
    std::unique_ptr<InboxServer> m_inbox;
    std::unique_ptr<RelayStore> m_store; // the test's own view of the database
    QNetworkAccessManager m_network;

    QStringList options(const QStringList &extra = {}) const
    {
        return QStringList{QStringLiteral("--provider-url"),
                           m_inbox->baseUrl().toString(),
                           QStringLiteral("--provider-key-file"),
                           m_dir.filePath(QStringLiteral("key")),
                           QStringLiteral("--sender"),
                           QStringLiteral("relay@example.org"),
                           QStringLiteral("--database"),
                           m_database} +
               extra;
    }

    QNetworkReply *post(const RelayProcess &relay, const QString &path, const QByteArray &body,
                        const QByteArray &token = {}, const QByteArray &key = {})
    {
        QNetworkRequest request(relay.baseUrl().resolved(QUrl(path)));
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/json"));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token);
        if (!key.isEmpty())
            request.setRawHeader("Idempotency-Key", key);
        return m_network.post(request, body);
    }

    // The status and body of a POST, once answered (at most 15 s).
    std::pair<int, QByteArray> exchange(const RelayProcess &relay, const QString &path,
                                        const QByteArray &body, const QByteArray &token = {})
    {
        return answered(post(relay, path, body, token));
    }

    // A page as a browser asks for it: a form's POST when there is a body.
    std::pair<int, QByteArray> browse(const RelayProcess &relay, const QString &path,
                                      const QByteArray &form, const QByteArray &cookie,
                                      QByteArray *setCookie = nullptr, QByteArray origin = {})
    {
        QNetworkRequest request(relay.baseUrl().resolved(QUrl(path)));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setRawHeader("Cookie", cookie);
        if (origin.isEmpty())
            origin = relay.baseUrl().toString(QUrl::RemovePath).toUtf8();
        request.setRawHeader("Origin", origin);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        QNetworkReply *reply =
            form.isNull() ? m_network.get(request) : m_network.post(request, form);
        return answered(reply, setCookie);
    }

    std::pair<int, QByteArray> answered(QNetworkReply *pending, QByteArray *setCookie = nullptr)
    {
        std::unique_ptr<QNetworkReply> reply(pending);
        QEventLoop loop;
        connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(15'000, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        if (setCookie)
            *setCookie = reply->rawHeader("Set-Cookie").split(';').first();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->readAll()};
    }

    QByteArray claim(const RelayProcess &relay, const QString &code)
    {
        const auto [status, body] =
            exchange(relay, QStringLiteral("/v1/claim"),
                     QStringLiteral("{\"code\":\"%1\"}").arg(code).toUtf8());
        return QJsonDocument::fromJson(body)
            .object()
            .value(QLatin1String("token"))
            .toString()
            .toLatin1();
    }

    QByteArray newToken(const RelayProcess &relay, const QString &interviewer = jane)
    {
        return claim(relay, RelayProcess::newSession(m_database, interviewer));
    }

    void expireEverySession()
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("test")));
        QVERIFY(
            query.exec(QStringLiteral("UPDATE sessions SET expires_at = 0 WHERE expires_at > 0")));
    }

    int inboxCount(const QString &subject, const QString &to)
    {
        int count = 0;
        for (const auto &entry : m_inbox->emails())
            count += entry.toObject().value(QLatin1String("subject")).toString() == subject &&
                     entry.toObject().value(QLatin1String("to")).toArray() == QJsonArray{to};
        return count;
    }

    QStringList timelineKinds(qint64 sessionId)
    {
        QStringList kinds;
        for (const TimelineEvent &event : m_store->timeline(sessionId))
            kinds << event.kind;
        return kinds;
    }

    qint64 lastSessionId()
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("test")));
        query.exec(QStringLiteral("SELECT MAX(id) FROM sessions"));
        return query.next() ? query.value(0).toLongLong() : -1;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("NIMBREL_RELAY_TEST_DATABASE") == QLatin1String("postgresql")) {
            if (!TemporaryPostgres::isInstalled())
                QSKIP("Debian's postgresql is not installed");
            m_postgres = std::make_unique<TemporaryPostgres>();
            QVERIFY2(m_postgres->isRunning(), qPrintable(m_postgres->errorString()));
            m_database = m_postgres->databaseUrl();
        } else {
            m_database = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("relay.db"));
        }
        QFile key(m_dir.filePath(QStringLiteral("key")));
        QVERIFY(key.open(QIODevice::WriteOnly) && key.write("org-key\n") > 0);
        key.close();
        m_inbox = std::make_unique<InboxServer>(
            InboxServer::Options{.apiKey = QStringLiteral("org-key")});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));
        QVERIFY(!RelayProcess::newSession(m_database, jane).isEmpty()); // creates the schema
        auto store = RelayStore::open(std::get<DatabaseUrl>(parseDatabaseUrl(m_database)),
                                      QStringLiteral("test"));
        QVERIFY(std::holds_alternative<std::unique_ptr<RelayStore>>(store));
        m_store = std::move(std::get<std::unique_ptr<RelayStore>>(store));
    }

    // Every request the API refuses sends nothing: the inbox receives only
    // what is answered 200.
    void requests_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("credential"); // own, none, forged, other, expired, fresh code
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer");

        const QString emails = QStringLiteral("/emails");
        const QString claim = QStringLiteral("/v1/claim");
        const QString heartbeat = QStringLiteral("/v1/heartbeat");
        QTest::newRow("send") << emails << "own" << email(jane) << 200 << "\"id\"";
        QTest::newRow("recipient in capitals")
            << emails << "own" << email(jane.toUpper()) << 200 << "\"id\"";
        QTest::newRow("another address")
            << emails << "own" << email(bob) << 403 << "This session reports to j•••@example.com";
        QTest::newRow("two recipients")
            << emails << "own"
            << QByteArray(
                   R"({"to":["jane@example.com","bob@example.com"],"subject":"Nimbrel Scan Results","html":""})")
            << 422 << "exactly one";
        QTest::newRow("foreign subject")
            << emails << "own" << email(jane, "Invoice") << 422 << "Nimbrel's own";
        QTest::newRow("bcc") << emails << "own"
                             << email(jane, "Nimbrel Scan Results",
                                      ",\"bcc\":[\"bob@example.com\"]")
                             << 422 << "`bcc`";
        QTest::newRow("not JSON") << emails << "own" << QByteArray("to=bob") << 422 << "not a JSON";
        QTest::newRow("no token") << emails << "none" << email(jane) << 401 << "missing_api_key";
        QTest::newRow("forged token") << emails << "forged" << email(jane) << 403 << "not valid";
        QTest::newRow("other session's token")
            << emails << "other" << email(jane) << 403 << "b•••@example.com";
        QTest::newRow("expired token") << emails << "expired" << email(jane) << 403 << "expired";
        QTest::newRow("heartbeat")
            << heartbeat << "own" << QByteArray(R"({"monitoring":true,"lines":3})") << 204 << "";
        QTest::newRow("heartbeat without flag")
            << heartbeat << "own" << QByteArray(R"({"lines":3})") << 422 << "monitoring";
        QTest::newRow("heartbeat forged")
            << heartbeat << "forged" << QByteArray(R"({"monitoring":true})") << 403 << "not valid";
        QTest::newRow("claim") << claim << "fresh" << QByteArray() << 200
                               << "\"interviewer\":\"j•••@example.com\"";
        QTest::newRow("claim used code") << claim << "used" << QByteArray() << 409 << "already";
        QTest::newRow("claim mistyped code")
            << claim << "typo" << QByteArray() << 400 << "typing error";
        QTest::newRow("claim unknown code")
            << claim << "unknown" << QByteArray() << 404 << "no session";
        QTest::newRow("unknown path")
            << QStringLiteral("/domains") << "own" << QByteArray("{}") << 404 << "not_found";
    }

    void requests()
    {
        QFETCH(QString, path);
        QFETCH(QString, credential);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, answer);

        RelayProcess relay(options());
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        QByteArray token;
        if (credential == QLatin1String("own")) {
            token = newToken(relay);
        } else if (credential == QLatin1String("forged")) {
            token = QByteArray(32, 'a');
        } else if (credential == QLatin1String("other")) {
            token = newToken(relay, bob);
        } else if (credential == QLatin1String("expired")) {
            token = newToken(relay);
            expireEverySession();
        } else if (path.endsWith(QLatin1String("claim"))) {
            QString code = RelayProcess::newSession(m_database, jane);
            if (credential == QLatin1String("used"))
                claim(relay, code);
            if (credential == QLatin1String("typo"))
                code[0] = code[0] == QLatin1Char('7') ? QLatin1Char('8') : QLatin1Char('7');
            if (credential == QLatin1String("unknown"))
                code = QStringLiteral("0000-0000-0");
            body = QStringLiteral("{\"code\":\"%1\"}").arg(code.toLower()).toUtf8();
        }
        QVERIFY(credential == QLatin1String("none") || credential == QLatin1String("forged") ||
                !body.isEmpty() || !token.isEmpty());

        const qsizetype before = m_inbox->emails().size();
        const auto [answered, text] = exchange(relay, path, body, token);
        QCOMPARE(answered, status);
        QVERIFY2(QString::fromUtf8(text).contains(answer), text.constData());
        const QJsonArray received = m_inbox->emails();
        QCOMPARE(received.size() - before, status == 200 && path == QLatin1String("/emails"));
        if (status == 200 && path == QLatin1String("/emails")) {
            const QJsonObject sent = received.first().toObject();
            QCOMPARE(sent.value(QLatin1String("from")).toString(),
                     QStringLiteral("relay@example.org"));
            QCOMPARE(sent.value(QLatin1String("to")).toArray(), QJsonArray{jane});
        }
    }

    // A monitoring session that falls silent is reported once, and again
    // when it is heard from; its timeline shows the gap. A short silence
    // here; silenceAfterTheDefault35s is the real one.
    void liveness()
    {
        RelayProcess relay(options({QStringLiteral("--silence-after"), QStringLiteral("2s")}));
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        const QString ann = QStringLiteral("ann@example.com");
        const QByteArray token = newToken(relay, ann);
        const qint64 session = lastSessionId();
        QCOMPARE(exchange(relay, QStringLiteral("/emails"),
                          email(ann, "Nimbrel Monitoring Started"), token)
                     .first,
                 200);
        QTRY_COMPARE_WITH_TIMEOUT(inboxCount(QStringLiteral("Nimbrel Stopped Reporting"), ann), 1,
                                  10'000);
        QCOMPARE(exchange(relay, QStringLiteral("/v1/heartbeat"),
                          R"({"monitoring":true,"lines":0})", token)
                     .first,
                 204);
        QTRY_COMPARE_WITH_TIMEOUT(inboxCount(QStringLiteral("Nimbrel Reporting Again"), ann), 1,
                                  10'000);
        QCOMPARE(exchange(relay, QStringLiteral("/emails"),
                          email(ann, "Nimbrel Monitoring Stopped"), token)
                     .first,
                 200);
        QCOMPARE(timelineKinds(session),
                 (QStringList{"claimed", "started", "silent", "back", "stopped"}));
    }

    void silenceAfterTheDefault35s()
    {
        RelayProcess relay(options());
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        const QString tom = QStringLiteral("tom@example.com");
        const QByteArray token = newToken(relay, tom);
        QElapsedTimer silence;
        silence.start();
        QCOMPARE(exchange(relay, QStringLiteral("/emails"),
                          email(tom, "Nimbrel Monitoring Started"), token)
                     .first,
                 200);
        QTRY_COMPARE_WITH_TIMEOUT(inboxCount(QStringLiteral("Nimbrel Stopped Reporting"), tom), 1,
                                  45'000);
        qInfo("silence reported after %.1f s", silence.elapsed() / 1000.0);
        QVERIFY(silence.elapsed() >= 35'000 && silence.elapsed() <= 40'000);
    }

    // An interviewer signs in, creates a session and reads its timeline; a
    // wrong password, another site's form and another interviewer's session
    // are refused, and the audit log keeps the sign-ins and the creation.
    void interviewerPages()
    {
        QProcess account;
        account.start(
            QStringLiteral(NIMBREL_RELAY_PATH),
            {"account", "set", "--database", m_database, "--interviewer", "kim@example.com"});
        account.write("a long passphrase\n");
        account.closeWriteChannel();
        QVERIFY(account.waitForFinished(20'000) && account.exitCode() == 0);
        RelayProcess relay(options());
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        const QByteArray someoneElses = QByteArray::number(lastSessionId());
        QCOMPARE(browse(relay, "/sessions", {}, {}).first, 303);
        QCOMPARE(browse(relay, "/sign-in", "email=kim%40example.com&password=wrong", {}).first,
                 401);
        QByteArray cookie;
        QCOMPARE(browse(relay, "/sign-in", "email=kim%40example.com&password=a+long+passphrase", {},
                        &cookie)
                     .first,
                 303);
        QCOMPARE(browse(relay, "/sessions", "lasts=1h", cookie, nullptr, "https://x.example").first,
                 403);
        const auto [created, page] = browse(relay, "/sessions", "lasts=1h", cookie);
        QCOMPARE(created, 201);
        static const QRegularExpression codeShown(
            QStringLiteral("session-code\">([0-9A-Z-]{11})<"));
        const QByteArray token = claim(relay, codeShown.match(QString::fromUtf8(page)).captured(1));
        QVERIFY(!token.isEmpty());
        const QByteArray own = QByteArray::number(lastSessionId());
        QVERIFY(browse(relay, "/sessions/" + own, {}, cookie)
                    .second.contains("Nimbrel joined the session"));
        QVERIFY(browse(relay, "/sessions/" + own + "/events?after=0", {}, cookie)
                    .second.contains("\"id\""));
        QCOMPARE(browse(relay, "/sessions/" + someoneElses, {}, cookie).first, 404);

        // The open timeline in a browser shows and announces a new event by
        // itself, with nothing refused by its Content-Security-Policy.
        HeadlessChromium browser;
        QVERIFY2(browser.isRunning(), qPrintable(browser.errorString()));
        QVERIFY(browser.call("Network.setCookie", {{"name", "nimbrel_relay"},
                                                   {"value", QString::fromLatin1(cookie.mid(14))},
                                                   {"url", relay.baseUrl().toString()}}));
        QVERIFY(browser.open(relay.baseUrl().resolved(QUrl("/sessions/" + own))));
        QCOMPARE(exchange(relay, "/emails", email("kim@example.com", "Nimbrel Monitoring Started"),
                          token)
                     .first,
                 200);
        QVERIFY(browser.waitUntil("document.getElementById('announcer').textContent == "
                                  "'New event: Monitoring started'",
                                  std::chrono::seconds(20)));
        QVERIFY(QDir().mkpath(NIMBREL_SCREENSHOTS));
        QVERIFY(browser.screenshot(NIMBREL_SCREENSHOTS "/relay-timeline.png"));
        const QJsonArray logged = browser.events("Log.entryAdded");
        QVERIFY2(logged.isEmpty(), QJsonDocument(logged).toJson().constData());
        QSqlQuery audit(QSqlDatabase::database(QStringLiteral("test")));
        QVERIFY(audit.exec("SELECT action FROM audit WHERE actor = 'kim@example.com' ORDER BY id"));
        QStringList actions;
        while (audit.next())
            actions << audit.value(0).toString();
        QCOMPARE(actions, (QStringList{"sign-in refused", "signed in", "session created"}));
    }

    // kill -9 while sends are in flight: every send answered 200 is in the
    // database the restarted relay opens.
    void killUnderLoadLosesNoAcceptedEvent()
    {
        auto relay = std::make_unique<RelayProcess>(options());
        QVERIFY2(relay->isRunning(), qPrintable(relay->errorString()));
        std::vector<QByteArray> tokens{newToken(*relay), newToken(*relay), newToken(*relay)};
        QStringList accepted;
        QList<QNetworkReply *> replies;
        for (int i = 0; i < 60; ++i) {
            const QByteArray key = "load-" + QByteArray::number(i);
            QNetworkReply *reply =
                post(*relay, QStringLiteral("/emails"), email(jane), tokens[size_t(i % 3)], key);
            connect(reply, &QNetworkReply::finished, this, [&accepted, reply, key] {
                if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200)
                    accepted << QString::fromLatin1(key);
            });
            replies << reply;
        }
        QTRY_VERIFY_WITH_TIMEOUT(accepted.size() >= 20, 20'000);
        relay->kill();
        const QStringList answeredBeforeKill = accepted;
        qDeleteAll(replies);

        relay = std::make_unique<RelayProcess>(options());
        QVERIFY2(relay->isRunning(), qPrintable(relay->errorString()));
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("test")));
        QVERIFY(query.exec(QStringLiteral(
            "SELECT idempotency_key FROM events WHERE idempotency_key LIKE 'load-%'")));
        QStringList stored;
        while (query.next())
            stored << query.value(0).toString();
        qInfo("%lld answered 200 before kill -9, %lld stored", qlonglong(answeredBeforeKill.size()),
              qlonglong(stored.size()));
        for (const QString &key : answeredBeforeKill)
            QVERIFY2(stored.contains(key), qPrintable(key));
        QCOMPARE(
            exchange(*relay, QStringLiteral("/v1/heartbeat"), R"({"monitoring":false})", tokens[0])
                .first,
            204);
    }

    // Requests that are refused on their head, and clients too slow to finish one.
    void rawRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("statusLine");
        const QByteArray head = "POST /emails HTTP/1.1\r\nHost: relay\r\n";
        QTest::newRow("body declared over the bound") << head + "Content-Length: 300000\r\n\r\n"
                                                      << QByteArray("HTTP/1.1 413");
        QTest::newRow("head over the bound") << head + "X: " + QByteArray(9000, 'x') + "\r\n\r\n"
                                             << QByteArray("HTTP/1.1 431");
        QTest::newRow("not HTTP") << QByteArray("HELLO\r\n\r\n") << QByteArray("HTTP/1.1 400");
        // Dropped without an answer when the read timeout ends it.
        QTest::newRow("slow head") << head + "Content-Le" << QByteArray();
    }

    void rawRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, statusLine);
        RelayProcess relay(options());
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(relay.baseUrl().port()));
        QVERIFY(socket.waitForConnected(5'000));
        socket.write(request);
        QByteArray answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer += socket.readAll()).contains("\r\n\r\n") ||
                                     socket.state() == QAbstractSocket::UnconnectedState,
                                 15'000);
        QVERIFY2(answer.startsWith(statusLine), answer.constData());
        QVERIFY(!statusLine.isEmpty() || socket.state() == QAbstractSocket::UnconnectedState);
    }

    // 10,000 connections from one address: all but the first 32 are closed
    // at once, and the relay's memory stays small.
    void manyIdleConnections()
    {
        RelayProcess relay(options());
        QVERIFY2(relay.isRunning(), qPrintable(relay.errorString()));
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        const int wanted = int(std::min<rlim_t>(10'000, limit.rlim_cur - 200));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(relay.baseUrl().port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::vector<int> sockets;
        for (int i = 0; i < wanted; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0 ||
                ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
                break;
            sockets.push_back(fd);
        }
        QCOMPARE(int(sockets.size()), wanted);
        const auto closedCount = [&] {
            int closed = 0;
            for (int fd : sockets) {
                char byte;
                closed += recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
            }
            return closed;
        };
        QTRY_COMPARE_WITH_TIMEOUT(closedCount(), wanted - 32, 30'000);
        qInfo("%d connections: peak resident memory of the relay %lld KiB", wanted,
              relay.memoryKiB("VmHWM"));
        QVERIFY(relay.memoryKiB("VmHWM") < 64 * 1024);
        for (int fd : sockets)
            close(fd);
    }
};

QTEST_GUILESS_MAIN(TestRelay)
#include "tst_relay.moc"
