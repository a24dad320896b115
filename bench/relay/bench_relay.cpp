// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-relay on one core (taskset -c 0), nimbrel-inbox as its provider and
// this load on the other core: SESSIONS monitoring sessions, each with a
// heartbeat every 10 s and a scan-results e-mail every 60 s, for SECONDS.
// Halfway the relay is killed with SIGKILL and started again on the same
// database and port; at the end every e-mail answered 200 must be in it.
//
//   nimbrel-bench-relay [SESSIONS [SECONDS]]     (default 2000 120)
//
// The sessions are made and claimed in the database directly (the claim's
// limit per address would otherwise stretch the set-up over hours); the load
// is real HTTP through libcurl.
#include "CurlHttpClient.h"
#include "RelayStore.h"
#include "Secrets.h"
#include "SessionCode.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr auto cycle = std::chrono::seconds(10);
constexpr int emailEveryCycles = 6;

// A process started on one core, and the address it prints.
struct Server
{
    QProcess process;
    QString url;

    bool start(const QString &program, const QStringList &arguments, int core)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral("taskset"),
                      QStringList{QStringLiteral("-c"), QString::number(core), program} +
                          arguments);
        static const QRegularExpression listening(QStringLiteral("listening on (http://\\S+)"));
        while (process.waitForReadyRead(10'000)) {
            const auto match = listening.match(QString::fromUtf8(process.readLine()));
            if (match.hasMatch()) {
                url = match.captured(1);
                return true;
            }
        }
        return false;
    }

    // Seconds of CPU the process has used (user and system).
    double cpuSeconds() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
    }

    qint64 kib(const char *field) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+)").arg(QLatin1String(field)),
                                      QRegularExpression::MultilineOption);
        return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
    }
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int sessions = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 120;
    cpu_set_t loadCore;
    CPU_ZERO(&loadCore);
    CPU_SET(1, &loadCore);
    sched_setaffinity(0, sizeof loadCore, &loadCore);
    Secrets::initialise();

    QTemporaryDir dir;
    const QString database = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("relay.db"));
    QFile key(dir.filePath(QStringLiteral("key")));
    key.open(QIODevice::WriteOnly);
    key.write("bench-key\n");
    key.close();

    Server inbox;
    if (!inbox.start(QStringLiteral(NIMBREL_INBOX_PATH),
                     {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--api-key"),
                      QStringLiteral("bench-key"), QStringLiteral("--max-messages"),
                      QStringLiteral("100")},
                     1))
        qFatal("nimbrel-inbox did not start");

    // Sessions and their tokens, straight into the database.
    std::vector<QByteArray> tokens;
    auto opened = RelayStore::open(std::get<DatabaseUrl>(parseDatabaseUrl(database)),
                                   QStringLiteral("bench"));
    const auto &store = std::get<std::unique_ptr<RelayStore>>(opened);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < sessions; ++i) {
        const QByteArray code = SessionCode::generate().toLatin1();
        store->createSession(QStringLiteral("interviewer%1@example.com").arg(i),
                             Secrets::hashOf(code), now, now + 86'400'000, QStringLiteral("bench"));
        tokens.push_back(Secrets::newToken());
        store->claim(Secrets::hashOf(code), Secrets::hashOf(tokens.back()), now);
    }

    const QStringList relayArguments{
        QStringLiteral("serve"), QStringLiteral("--provider-url"), inbox.url,
        QStringLiteral("--provider-key-file"), key.fileName(), QStringLiteral("--sender"),
        QStringLiteral("relay@example.org"), QStringLiteral("--database"), database,
        // Every client of this bench comes from 127.0.0.1.
        QStringLiteral("--connections-per-address"), QStringLiteral("100000"),
        QStringLiteral("--emails-per-address"), QStringLiteral("1000000")};
    auto relay = std::make_unique<Server>();
    if (!relay->start(QStringLiteral(NIMBREL_RELAY_PATH),
                      relayArguments +
                          QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")},
                      0))
        qFatal("nimbrel-relay did not start");
    const QString relayUrl = relay->url;
    const QString listen = relayUrl.mid(7);

    CurlHttpClient http;
    std::vector<double> heartbeatMs, emailMs;
    QStringList accepted; // Idempotency-Keys of e-mails answered 200
    int failures = 0;
    int inFlight = 0;
    qint64 step = 0;
    bool killed = false;
    double cpuBeforeKill = 0;
    QElapsedTimer clock;
    clock.start();
    double measuredFrom = 0;
    double cpuFrom = 0;

    const auto send = [&](const QString &path, const QByteArray &token, const QByteArray &body,
                          const QByteArray &idempotencyKey, std::vector<double> *latencies) {
        QList<QByteArray> headers{"Content-Type: application/json",
                                  "Authorization: Bearer " + token};
        if (!idempotencyKey.isEmpty())
            headers << "Idempotency-Key: " + idempotencyKey;
        const qint64 sent = clock.nsecsElapsed();
        ++inFlight;
        http.post({QUrl(relayUrl + path), headers, body, std::chrono::seconds(30)},
                  [&, sent, idempotencyKey, latencies](HttpResponse response) {
                      --inFlight;
                      if (response.status < 200 || response.status > 299) {
                          ++failures;
                          return;
                      }
                      latencies->push_back(double(clock.nsecsElapsed() - sent) / 1e6);
                      if (!idempotencyKey.isEmpty())
                          accepted << QString::fromLatin1(idempotencyKey);
                  });
    };

    // One session's turn every 10 s / sessions, each at its own offset.
    QTimer ticker;
    const auto spacing = std::chrono::microseconds(cycle) / sessions;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(std::max<std::chrono::milliseconds>(
        std::chrono::milliseconds(1),
        std::chrono::duration_cast<std::chrono::milliseconds>(spacing)));
    const qint64 perTick = std::max<qint64>(1, qint64(ticker.interval()) * 1000 / spacing.count());
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        for (qint64 n = 0; n < perTick; ++n, ++step) {
            const int session = int(step % sessions);
            const qint64 round = step / sessions;
            const QByteArray &token = tokens[size_t(session)];
            send(QStringLiteral("/v1/heartbeat"), token, R"({"monitoring":true,"lines":1})", {},
                 &heartbeatMs);
            if ((round + session) % emailEveryCycles == 0) {
                const QByteArray body =
                    QStringLiteral("{\"to\":[\"interviewer%1@example.com\"],\"subject\":\"%2\","
                                   "\"html\":\"<p>Cluely (PID 4242)</p>\",\"text\":\"Cluely\"}")
                        .arg(session)
                        .arg(round == 0 ? QStringLiteral("Nimbrel Monitoring Started")
                                        : QStringLiteral("Nimbrel Scan Results"))
                        .toUtf8();
                send(QStringLiteral("/emails"), token, body, "bench-" + QByteArray::number(step),
                     &emailMs);
            }
        }
        const double elapsed = clock.elapsed() / 1000.0;
        if (measuredFrom == 0 && elapsed >= 10) { // the first cycle warms up
            measuredFrom = elapsed;
            cpuFrom = relay->cpuSeconds();
        }
        if (!killed && elapsed >= seconds / 2.0) {
            killed = true;
            cpuBeforeKill = relay->cpuSeconds() - cpuFrom;
            std::printf("after %.0f s: %lld heartbeats, %lld e-mails answered; RSS %lld KiB "
                        "(peak %lld KiB), CPU %.1f %% of one core; kill -9\n",
                        elapsed, qlonglong(heartbeatMs.size()), qlonglong(emailMs.size()),
                        relay->kib("VmRSS"), relay->kib("VmHWM"),
                        100.0 * cpuBeforeKill / (elapsed - measuredFrom));
            std::printf("heartbeat latency p50 %.2f ms, p99 %.2f ms; e-mail latency p50 %.2f ms, "
                        "p99 %.2f ms (%d refused or failed)\n",
                        percentile(heartbeatMs, 0.5), percentile(heartbeatMs, 0.99),
                        percentile(emailMs, 0.5), percentile(emailMs, 0.99), failures);
            std::fflush(stdout);
            relay->process.kill();
            relay->process.waitForFinished();
            relay = std::make_unique<Server>();
            QElapsedTimer restart;
            restart.start();
            if (!relay->start(QStringLiteral(NIMBREL_RELAY_PATH),
                              relayArguments + QStringList{QStringLiteral("--listen"), listen}, 0))
                qFatal("nimbrel-relay did not start again");
            std::printf("restarted in %lld ms\n", restart.elapsed());
        }
        if (elapsed >= seconds) {
            ticker.stop();
            QTimer::singleShot(0, &app, [&] {
                // Let the last answers come in, then count what the database kept.
                QElapsedTimer drain;
                drain.start();
                while (inFlight > 0 && drain.elapsed() < 30'000)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
                QSqlDatabase db = QSqlDatabase::database(QStringLiteral("bench"));
                QSqlQuery query(db);
                QSet<QString> stored;
                query.exec(QStringLiteral("SELECT idempotency_key FROM events WHERE "
                                          "idempotency_key LIKE 'bench-%'"));
                while (query.next())
                    stored.insert(query.value(0).toString());
                const auto lost =
                    std::count_if(accepted.begin(), accepted.end(),
                                  [&](const QString &k) { return !stored.contains(k); });
                std::printf("%d sessions, %d s: %lld e-mails answered 200, %lld stored, accepted "
                            "events lost: %lld; %d requests refused or failed (the kill's)\n",
                            sessions, seconds, qlonglong(accepted.size()), qlonglong(stored.size()),
                            qlonglong(lost), failures);
                relay->process.kill();
                relay->process.waitForFinished();
                inbox.process.kill();
                inbox.process.waitForFinished();
                app.exit(lost == 0 ? 0 : 1);
            });
        }
    });
    ticker.start();
    return app.exec();
}
