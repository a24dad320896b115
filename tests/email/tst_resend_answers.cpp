// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ResendService against every kind of answer a peer may give: the provider's
// refusals and failures, retried or not, and answers that misbehave on purpose.
// Each send runs in a child process (this program with --send), so a crash, a
// hang or memory growth shows as exactly that and cannot spoil the next case;
// the peer, in this process, records every try.
#include "ProviderAnswer.h"
#include "ResendService.h"
#include "ScriptedPeer.h"

#include <QFile>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Step = ScriptedPeer::Step;

namespace {

// Short enough to keep the suite quick, long enough for a try after a wait of
// a second and for every hostile answer to pour in far more than the client
// may keep.
constexpr auto deadline = 3'000ms;
constexpr qint64 maxGrowthKiB = 32 * 1024;
const QString libcurlsWords = u"(the failure as libcurl words it)"_s;

qint64 residentKiB()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// One send with this base URL, API key and "retried" or "once". Prints the
// completions, success, elapsed ms and the highest growth of resident memory
// in KiB, then the error's description on a line of its own.
int sendOnce(const QStringList &arguments)
{
    ResendService service({arguments[1], arguments[0]},
                          ResendLimits{.deadline = deadline, .firstRetryDelay = 50ms});
    const qint64 before = residentKiB();
    std::atomic<qint64> peak = before;
    std::atomic<bool> sampling = true;
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), residentKiB());
            std::this_thread::sleep_for(5ms);
        }
    });

    int calls = 0;
    bool success = false;
    QString description;
    QElapsedTimer clock;
    clock.start();
    qint64 elapsed = -1;
    service.sendEmail(
        u"a@example.com"_s, u"s"_s, u"<p>x</p>"_s, std::nullopt,
        [&](bool ok, std::optional<EmailError> error) {
            ++calls;
            success = ok;
            elapsed = clock.elapsed();
            description = error ? error->description : QString();
        },
        arguments[2] == u"retried" ? EmailSender::Retry::OnTransientFailure
                                   : EmailSender::Retry::Never);
    // Past the deadline, plus time for a second completion to show up.
    (void)QTest::qWaitFor([&] { return calls > 0; }, int((deadline + 10s).count()));
    QTest::qWait(300);
    sampling = false;
    sampler.join();
    std::printf("%d %d %lld %lld\n%s\n", calls, int(success), elapsed, peak - before,
                qPrintable(description));
    return 0;
}

Step answer(int status, const QByteArray &headers = {}, const QByteArray &body = "{}")
{
    return {"HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\n" +
            headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body};
}

} // namespace

class TestResendAnswers : public QObject
{
    Q_OBJECT

private slots:
    void everySendCompletesOnceWithinBounds_data()
    {
        QTest::addColumn<QList<Step>>("script");
        QTest::addColumn<QString>("error"); // the failure's text; empty when sent
        QTest::addColumn<bool>("retried");  // sent with Retry::OnTransientFailure
        // Before each try after the first: the least time since the one before.
        QTest::addColumn<QList<int>>("waitsMs");
        QTest::addColumn<QString>("key");
        const auto row = [](const char *name, const QList<Step> &script, const QString &error,
                            bool retried = false, const QList<int> &waitsMs = {},
                            const QString &key = u"peer-key"_s) {
            QTest::newRow(name) << script << error << retried << waitsMs << key;
        };
        const QByteArray ok = "HTTP/1.1 200 OK\r\n", block(64 * 1024, 'x');
        const QString tooLarge = u"The e-mail service's answer was larger than 64 KiB."_s,
                      cutOff = u"the e-mail service's answer was cut off"_s,
                      noId = u"the e-mail service answered 200 without a message id"_s,
                      keyRefused = u"the e-mail service answered %1 (the API key was refused)"_s,
                      failed = u"the e-mail service answered %1 (the e-mail service failed)"_s;

        // Answers without end, or with a broken end, within the deadline and bounded memory.
        row("huge declared length", {{ok + "Content-Length: 2147483648\r\n\r\n", block}}, tooLarge);
        row("endless chunked body",
            {{ok + "Transfer-Encoding: chunked\r\n\r\n", "10000\r\n" + block + "\r\n"}}, tooLarge);
        row("101, then bytes without end",
            {{"HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
              "Connection: Upgrade\r\n\r\n",
              block}},
            tooLarge);
        row("endless headers", {{ok, "X-Padding: " + QByteArray(100, 'a') + "\r\n"}},
            libcurlsWords);
        row("trickle", {{ok + "Content-Length: 20000\r\n\r\n", "x", 200ms}},
            u"The request timed out."_s);
        row("reset mid-body",
            {{ok + "Content-Length: 20000\r\n\r\n" + QByteArray(1000, 'x'), {}, {}, true}},
            libcurlsWords);
        row("999", {answer(999)}, u"the e-mail service answered 999"_s);
        // Following a redirect would hand the key to the host it names. An
        // empty key is sent as it is, "Bearer " and nothing after.
        row("307 elsewhere, empty key", {answer(307, "Location: http://127.0.0.1:9/emails\r\n")},
            u"the e-mail service answered 307 (redirects are not followed)"_s, false, {}, {});
        // A notice counted as delivered when it was not is the worst outcome of all.
        row("status line, then closed", {{ok}}, cutOff);
        row("closed inside the headers", {{ok + "Content-Type: application/json\r\nContent-Len"}},
            cutOff);
        row("empty 200", {answer(200, {}, {})}, noId);
        row("HTML 200",
            {{ok +
              "Content-Type: text/html\r\nContent-Length: 27\r\n\r\n<html><h1>Hello</h1></html>"}},
            noId);
        row("HTTP/1.0 200 without a body", {{"HTTP/1.0 200 OK\r\n\r\n"}}, noId);
        row("200 with an empty id", {answer(200, {}, R"({"id":""})")}, noId);

        // Notices are tried again after a passing failure: after the wait the
        // provider names, else after a doubling back-off, within the deadline.
        const Step sent = answer(200, {}, R"({"id":"4ef8a8a4-7b39-4bde-9bd4-0a1e0f4b3c2e"})");
        row("429 with Retry-After, then sent", {answer(429, "Retry-After: 1\r\n"), sent}, {}, true,
            {1'000});
        row("503, then sent", {answer(503), sent}, {}, true, {50});
        row("dropped unanswered, then sent", {{}, sent}, {}, true, {50});
        row("200 without a message id, then sent", {answer(200), sent}, {}, true, {50});
        row("5xx three times", {answer(503), answer(502), answer(500)}, failed.arg(500), true,
            {50, 100});
        row("429 asking for more than the deadline", {answer(429, "Retry-After: 120\r\n")},
            u"the e-mail service answered 429 (the e-mail service's rate limit or daily quota "
            "was reached)"_s,
            true);
        // Refusals that another try cannot mend are final, and a verification code is never
        // retried.
        row("401", {answer(401)}, keyRefused.arg(401), true);
        row("403", {answer(403)}, keyRefused.arg(403), true);
        row("403 to anyone but the owner",
            {answer(403, {},
                    R"({"message":"You can only send testing emails to your own email address"})")},
            u"the e-mail service answered 403 (the provider's shared sender reaches only the "
            "account's own address; set SenderAddress in Config.plist to an address at a domain "
            "verified with the provider)"_s,
            true);
        row("403 refusing what is sent, not the key",
            {answer(403, {},
                    R"({"name":"validation_error","message":"This session reports to j•••@example.com"})")},
            u"the e-mail service answered 403 (This session reports to j•••@example.com)"_s, true);
        row("422 naming the key",
            {answer(422, {}, R"({"message":"Key peer-key\nis \u0007 revoked"})")},
            u"the e-mail service answered 422 (Key [API key] is revoked)"_s, true);
        row("verification code: 503 is final", {answer(503)}, failed.arg(503));
    }

    void everySendCompletesOnceWithinBounds()
    {
        QFETCH(QList<Step>, script);
        QFETCH(QString, error);
        QFETCH(bool, retried);
        QFETCH(QList<int>, waitsMs);
        QFETCH(QString, key);
        ScriptedPeer peer(script);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifndef __SANITIZE_ADDRESS__
        // A client that trusts the declared length would try to take gigabytes.
        child.setChildProcessModifier([] {
            const rlimit limit{2ul << 30, 2ul << 30};
            setrlimit(RLIMIT_AS, &limit);
        });
#endif
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--send"_s, u"http://127.0.0.1:%1"_s.arg(peer.port()), key,
                     retried ? u"retried"_s : u"once"_s});
        QVERIFY(child.waitForFinished(int((deadline + 30s).count())));
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        qInfo("%s: %s", QTest::currentDataTag(), lines.join(' ').constData());

        // The process lives, the send completes exactly once within the
        // deadline, and resident memory stays within bounds.
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QList<QByteArray> figures = lines.first().split(' ');
        QCOMPARE(figures.value(0), "1");
        QCOMPARE(figures.value(1), error.isEmpty() ? "1" : "0");
        const qint64 elapsed = figures.value(2).toLongLong(),
                     growth = figures.value(3).toLongLong();
        QVERIFY(elapsed >= 0 && elapsed <= (deadline + 1s).count());
        QVERIFY(growth <= maxGrowthKiB);
        if (error != libcurlsWords)
            QCOMPARE(QString::fromUtf8(lines.value(1)), error);

        // Every try carries the key as it is and one Idempotency-Key, so the
        // provider stores the e-mail once. Waits are measured between arrivals
        // at the peer, so a busy machine can only lengthen them.
        const QList<ScriptedPeer::Request> tries = peer.requests();
        QCOMPARE(tries.size(), waitsMs.size() + 1);
        const QByteArray &first = tries.first().bytes;
        QVERIFY2(first.startsWith("POST /emails HTTP/1.1\r\n"), first.constData());
        for (const QByteArray &header :
             {"\r\nAuthorization: Bearer " + key.toUtf8() + "\r\n",
              QByteArray("\r\nContent-Type: application/json\r\n"),
              QByteArray("\r\nUser-Agent: Nimbrel/" NIMBREL_VERSION "\r\n")})
            QVERIFY2(first.contains(header), first.constData());
        static const QRegularExpression idempotencyKey(u"\r\nIdempotency-Key: ([^\r]*)"_s);
        QSet<QString> keys;
        for (qsizetype i = 0; i < tries.size(); ++i) {
            keys.insert(idempotencyKey.match(QString::fromLatin1(tries[i].bytes)).captured(1));
            if (i > 0)
                QVERIFY2(tries[i].arrivalMs - tries[i - 1].arrivalMs >= waitsMs[i - 1],
                         qPrintable(u"try %1 came %2 ms after the one before"_s.arg(i + 1).arg(
                             tries[i].arrivalMs - tries[i - 1].arrivalMs)));
        }
        QCOMPARE(keys.size(), 1);
        QVERIFY(!QUuid::fromString(*keys.begin()).isNull());
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

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() == 5 && app.arguments()[1] == u"--send")
        return sendOnce(app.arguments().mid(2));
    TestResendAnswers test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_resend_answers.moc"
