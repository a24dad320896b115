// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelayStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

// Each version's statements, applied in one transaction with the version
// number. %ID% is the auto-numbered key, which the two databases spell apart.
const std::vector<QStringList> &migrations()
{
    static const std::vector<QStringList> steps{
        {
            QStringLiteral("CREATE TABLE sessions ("
                           " id %ID%,"
                           " code_hash TEXT NOT NULL UNIQUE,"
                           " interviewer TEXT NOT NULL,"
                           " created_at BIGINT NOT NULL,"
                           " expires_at BIGINT NOT NULL,"
                           " claimed_at BIGINT,"
                           " token_hash TEXT UNIQUE,"
                           " monitoring INTEGER NOT NULL DEFAULT 0,"
                           " silent INTEGER NOT NULL DEFAULT 0,"
                           " last_heartbeat BIGINT,"
                           " last_lines INTEGER)"),
            QStringLiteral("CREATE INDEX sessions_liveness ON sessions (monitoring, silent, "
                           "last_heartbeat)"),
            QStringLiteral("CREATE TABLE events ("
                           " id %ID%,"
                           " session_id BIGINT NOT NULL REFERENCES sessions (id),"
                           " at BIGINT NOT NULL,"
                           " kind TEXT NOT NULL,"
                           " detail TEXT NOT NULL,"
                           " idempotency_key TEXT,"
                           " UNIQUE (session_id, idempotency_key))"),
            QStringLiteral("CREATE TABLE audit ("
                           " id %ID%,"
                           " at BIGINT NOT NULL,"
                           " actor TEXT NOT NULL,"
                           " action TEXT NOT NULL,"
                           " detail TEXT NOT NULL)"),
        },
        {
            QStringLiteral("CREATE TABLE interviewers ("
                           " id %ID%,"
                           " email TEXT NOT NULL UNIQUE,"
                           " password_hash TEXT NOT NULL,"
                           " created_at BIGINT NOT NULL)"),
            QStringLiteral("CREATE TABLE sign_ins ("
                           " token_hash TEXT PRIMARY KEY,"
                           " email TEXT NOT NULL,"
                           " expires_at BIGINT NOT NULL)"),
            QStringLiteral("CREATE INDEX sessions_interviewer ON sessions (interviewer)"),
        },
    };
    return steps;
}

} // namespace

RelayStore::RelayStore(QString connectionName) : m_connectionName(std::move(connectionName)) {}

RelayStore::~RelayStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::variant<std::unique_ptr<RelayStore>, QString> RelayStore::open(const DatabaseUrl &url,
                                                                    const QString &connectionName)
{
    std::unique_ptr<RelayStore> store(new RelayStore(connectionName));
    if (!QSqlDatabase::isDriverAvailable(url.driver))
        return QStringLiteral("Qt's %1 driver is not installed").arg(url.driver);
    store->m_db = QSqlDatabase::addDatabase(url.driver, connectionName);
    store->m_postgres = url.driver == QLatin1String("QPSQL");
    store->m_db.setDatabaseName(url.name);
    if (store->m_postgres) {
        store->m_db.setHostName(url.host);
        store->m_db.setPort(url.port);
        store->m_db.setUserName(url.user);
        store->m_db.setPassword(url.password);
    } else {
        store->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!store->m_db.open())
        return QStringLiteral("cannot open the database: ") + store->m_db.lastError().text();

    QSqlQuery query(store->m_db);
    if (!store->m_postgres) {
        for (const char *pragma :
             {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA foreign_keys=ON"}) {
            if (!query.exec(QLatin1String(pragma)))
                return QStringLiteral("cannot set up SQLite: ") + query.lastError().text();
        }
    }
    if (!store->migrate())
        return QStringLiteral("cannot bring the schema up to date: ") + store->m_error;
    return store;
}

bool RelayStore::fail(const QSqlQuery &query)
{
    return fail(query.lastError().text());
}

bool RelayStore::fail(const QString &what)
{
    m_error = what;
    m_db.rollback();
    return false;
}

bool RelayStore::migrate()
{
    QSqlQuery query(m_db);
    const auto run = [&](const QString &statement) { return query.exec(statement) || fail(query); };
    // All or nothing, one process at a time: relays and `session new` may
    // start together on a new database. PostgreSQL's transactional DDL and an
    // advisory lock, SQLite's write lock taken up front.
    if (m_postgres ? !run(QStringLiteral("SELECT pg_advisory_lock(7468657)")) ||
                         !run(QStringLiteral("BEGIN"))
                   : !run(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    if (!m_db.tables().contains(QStringLiteral("schema_version")) &&
        !run(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)")))
        return false;
    if (!run(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return fail(query);
    const int current = query.value(0).isNull() ? 0 : query.value(0).toInt();
    if (current > schemaVersion)
        return fail(QStringLiteral("the database has schema version %1; this relay knows up to %2")
                        .arg(current)
                        .arg(schemaVersion));
    const QString idColumn = m_postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                        : QStringLiteral("INTEGER PRIMARY KEY");
    for (int version = current + 1; version <= schemaVersion; ++version) {
        for (QString statement : migrations()[size_t(version - 1)]) {
            if (!run(statement.replace(QLatin1String("%ID%"), idColumn)))
                return false;
        }
        if (!run(QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(version)))
            return false;
    }
    return run(QStringLiteral("COMMIT")) &&
           (!m_postgres || run(QStringLiteral("SELECT pg_advisory_unlock(7468657)")));
}

bool RelayStore::insertEvent(qint64 sessionId, qint64 at, const QString &kind,
                             const QString &detail, const QString &idempotencyKey, qint64 *eventId)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT INTO events (session_id, at, kind, detail, "
                                 "idempotency_key) VALUES (?, ?, ?, COALESCE(?, ''), ?) "
                                 "ON CONFLICT DO NOTHING RETURNING id"));
    query.addBindValue(sessionId);
    query.addBindValue(at);
    query.addBindValue(kind);
    query.addBindValue(detail);
    query.addBindValue(idempotencyKey.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                : QVariant(idempotencyKey));
    if (!query.exec())
        return fail(query);
    if (eventId && query.next())
        *eventId = query.value(0).toLongLong();
    return true;
}

std::optional<qint64> RelayStore::createSession(const QString &interviewer,
                                                const QByteArray &codeHash, qint64 now,
                                                qint64 expiresAt, const QString &actor)
{
    if (!m_db.transaction()) {
        fail(m_db.lastError().text());
        return std::nullopt;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT INTO sessions (code_hash, interviewer, created_at, "
                                 "expires_at) VALUES (?, ?, ?, ?) RETURNING id"));
    query.addBindValue(QString::fromLatin1(codeHash));
    query.addBindValue(interviewer);
    query.addBindValue(now);
    query.addBindValue(expiresAt);
    if (!query.exec() || !query.next()) {
        fail(query);
        return std::nullopt;
    }
    const qint64 id = query.value(0).toLongLong();
    query.finish();
    if (!insertAudit(now, actor, QStringLiteral("session created"),
                     QStringLiteral("session %1 for %2").arg(id).arg(interviewer)))
        return std::nullopt;
    if (!m_db.commit()) {
        fail(m_db.lastError().text());
        return std::nullopt;
    }
    return id;
}

std::variant<SessionRecord, RelayStore::ClaimRefusal>
RelayStore::claim(const QByteArray &codeHash, const QByteArray &tokenHash, qint64 now)
{
    if (!m_db.transaction()) {
        fail(m_db.lastError().text());
        return ClaimRefusal::Failed;
    }
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id, interviewer, expires_at, claimed_at FROM sessions "
                                 "WHERE code_hash = ?"));
    query.addBindValue(QString::fromLatin1(codeHash));
    if (!query.exec()) {
        fail(query);
        return ClaimRefusal::Failed;
    }
    if (!query.next()) {
        m_db.rollback();
        return ClaimRefusal::Unknown;
    }
    const SessionRecord session{query.value(0).toLongLong(), query.value(1).toString(),
                                query.value(2).toLongLong()};
    const bool used = !query.value(3).isNull();
    query.finish();
    if (used || session.expiresAt <= now) {
        m_db.rollback();
        return used ? ClaimRefusal::Used : ClaimRefusal::Expired;
    }
    // The condition on claimed_at makes two racing claims (two relays) end
    // with one winner.
    query.prepare(QStringLiteral("UPDATE sessions SET claimed_at = ?, token_hash = ? "
                                 "WHERE id = ? AND claimed_at IS NULL"));
    query.addBindValue(now);
    query.addBindValue(QString::fromLatin1(tokenHash));
    query.addBindValue(session.id);
    if (!query.exec()) {
        fail(query);
        return ClaimRefusal::Failed;
    }
    if (query.numRowsAffected() != 1) {
        m_db.rollback();
        return ClaimRefusal::Used;
    }
    if (!insertEvent(session.id, now, QStringLiteral("claimed"), {}, {}))
        return ClaimRefusal::Failed;
    if (!m_db.commit()) {
        fail(m_db.lastError().text());
        return ClaimRefusal::Failed;
    }
    return session;
}

std::optional<SessionRecord> RelayStore::sessionForToken(const QByteArray &tokenHash)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id, interviewer, expires_at FROM sessions "
                                 "WHERE token_hash = ?"));
    query.addBindValue(QString::fromLatin1(tokenHash));
    if (!query.exec() || !query.next())
        return std::nullopt;
    return SessionRecord{query.value(0).toLongLong(), query.value(1).toString(),
                         query.value(2).toLongLong()};
}

bool RelayStore::recordEmail(qint64 sessionId, const QString &kind, const QString &detail,
                             const QString &idempotencyKey, std::optional<bool> monitoring,
                             qint64 now)
{
    if (!m_db.transaction())
        return fail(m_db.lastError().text());
    if (!insertEvent(sessionId, now, kind, detail, idempotencyKey))
        return false;
    if (monitoring) {
        // A start counts as the first heartbeat; a stop ends the watch.
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("UPDATE sessions SET monitoring = ?, silent = 0, "
                                     "last_heartbeat = ? WHERE id = ?"));
        query.addBindValue(*monitoring ? 1 : 0);
        query.addBindValue(now);
        query.addBindValue(sessionId);
        if (!query.exec())
            return fail(query);
    }
    return m_db.commit() || fail(m_db.lastError().text());
}

bool RelayStore::heartbeat(qint64 sessionId, bool monitoring, int lines, qint64 now, bool *cameBack)
{
    *cameBack = false;
    if (!m_db.transaction())
        return fail(m_db.lastError().text());
    QSqlQuery query(m_db);
    // Only a silent session comes back; the row lock keeps that to one relay.
    query.prepare(QStringLiteral("UPDATE sessions SET silent = 0 WHERE id = ? AND silent = 1"));
    query.addBindValue(sessionId);
    if (!query.exec())
        return fail(query);
    if (query.numRowsAffected() == 1) {
        *cameBack = true;
        if (!insertEvent(sessionId, now, QStringLiteral("back"), {}, {}))
            return false;
    }
    query.prepare(QStringLiteral("UPDATE sessions SET monitoring = ?, last_heartbeat = ?, "
                                 "last_lines = ? WHERE id = ?"));
    query.addBindValue(monitoring ? 1 : 0);
    query.addBindValue(now);
    query.addBindValue(lines);
    query.addBindValue(sessionId);
    if (!query.exec())
        return fail(query);
    return m_db.commit() || fail(m_db.lastError().text());
}

std::vector<SilentSession> RelayStore::markSilent(qint64 silentSince, qint64 now)
{
    std::vector<SilentSession> found;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT id, interviewer, last_heartbeat FROM sessions WHERE monitoring = 1 AND "
        "silent = 0 AND last_heartbeat < ? AND expires_at > ?"));
    query.addBindValue(silentSince);
    query.addBindValue(now);
    if (!query.exec()) {
        fail(query);
        return {};
    }
    while (query.next())
        found.push_back({query.value(0).toLongLong(), 0, query.value(1).toString(),
                         query.value(2).toLongLong()});
    query.finish();

    std::vector<SilentSession> marked;
    for (SilentSession &session : found) {
        if (!m_db.transaction()) {
            fail(m_db.lastError().text());
            break;
        }
        query.prepare(QStringLiteral("UPDATE sessions SET silent = 1 WHERE id = ? AND "
                                     "silent = 0 AND monitoring = 1 AND last_heartbeat < ?"));
        query.addBindValue(session.sessionId);
        query.addBindValue(silentSince);
        if (!query.exec()) {
            fail(query);
            break;
        }
        if (query.numRowsAffected() != 1) {
            m_db.rollback(); // another relay, or a heartbeat in between
            continue;
        }
        if (!insertEvent(session.sessionId, now, QStringLiteral("silent"), {}, {},
                         &session.eventId))
            break;
        if (!m_db.commit()) {
            fail(m_db.lastError().text());
            break;
        }
        marked.push_back(session);
    }
    return marked;
}

std::vector<TimelineEvent> RelayStore::timeline(qint64 sessionId, qint64 afterEventId)
{
    std::vector<TimelineEvent> events;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id, at, kind, detail FROM events WHERE session_id = ? "
                                 "AND id > ? ORDER BY id"));
    query.addBindValue(sessionId);
    query.addBindValue(afterEventId);
    if (!query.exec()) {
        fail(query);
        return events;
    }
    while (query.next())
        events.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(),
                          query.value(2).toString(), query.value(3).toString()});
    return events;
}

bool RelayStore::insertAudit(qint64 now, const QString &actor, const QString &action,
                             const QString &detail)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("INSERT INTO audit (at, actor, action, detail) VALUES (?, ?, ?, ?)"));
    query.addBindValue(now);
    query.addBindValue(actor);
    query.addBindValue(action);
    query.addBindValue(detail);
    return query.exec() || fail(query);
}

bool RelayStore::audit(qint64 now, const QString &actor, const QString &action,
                       const QString &detail)
{
    return insertAudit(now, actor, action, detail);
}

bool RelayStore::setInterviewer(const QString &email, const QByteArray &passwordHash, qint64 now,
                                const QString &actor)
{
    if (!m_db.transaction())
        return fail(m_db.lastError().text());
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT INTO interviewers (email, password_hash, created_at) "
                                 "VALUES (?, ?, ?) ON CONFLICT (email) DO UPDATE SET "
                                 "password_hash = excluded.password_hash"));
    query.addBindValue(email);
    query.addBindValue(QString::fromLatin1(passwordHash));
    query.addBindValue(now);
    if (!query.exec())
        return fail(query);
    return insertAudit(now, actor, QStringLiteral("account set"), email) &&
           (m_db.commit() || fail(m_db.lastError().text()));
}

std::optional<QByteArray> RelayStore::passwordHash(const QString &email)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT password_hash FROM interviewers WHERE email = ?"));
    query.addBindValue(email);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toString().toLatin1();
}

bool RelayStore::signIn(const QByteArray &tokenHash, const QString &email, qint64 now,
                        qint64 expiresAt, const QString &address)
{
    if (!m_db.transaction())
        return fail(m_db.lastError().text());
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM sign_ins WHERE expires_at <= ?"));
    query.addBindValue(now);
    if (!query.exec())
        return fail(query);
    query.prepare(QStringLiteral("INSERT INTO sign_ins (token_hash, email, expires_at) "
                                 "VALUES (?, ?, ?)"));
    query.addBindValue(QString::fromLatin1(tokenHash));
    query.addBindValue(email);
    query.addBindValue(expiresAt);
    if (!query.exec())
        return fail(query);
    return insertAudit(now, email, QStringLiteral("signed in"),
                       QStringLiteral("from ") + address) &&
           (m_db.commit() || fail(m_db.lastError().text()));
}

std::optional<QString> RelayStore::signedIn(const QByteArray &tokenHash, qint64 now)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT email FROM sign_ins WHERE token_hash = ? AND "
                                 "expires_at > ?"));
    query.addBindValue(QString::fromLatin1(tokenHash));
    query.addBindValue(now);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toString();
}

bool RelayStore::signOut(const QByteArray &tokenHash)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM sign_ins WHERE token_hash = ?"));
    query.addBindValue(QString::fromLatin1(tokenHash));
    return query.exec() || fail(query);
}

std::vector<SessionSummary> RelayStore::sessionsOf(const QString &email,
                                                   std::optional<qint64> onlyId)
{
    std::vector<SessionSummary> sessions;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id, created_at, expires_at, claimed_at, monitoring, "
                                 "silent, last_heartbeat, last_lines FROM sessions WHERE "
                                 "interviewer = ? AND (id = ? OR ? = 0) ORDER BY id DESC "
                                 "LIMIT 200"));
    query.addBindValue(email);
    query.addBindValue(onlyId.value_or(0));
    query.addBindValue(onlyId.value_or(0));
    if (!query.exec()) {
        fail(query);
        return sessions;
    }
    while (query.next())
        sessions.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(),
                            query.value(2).toLongLong(), !query.value(3).isNull(),
                            query.value(4).toInt() != 0, query.value(5).toInt() != 0,
                            query.value(6).toLongLong(), query.value(7).toInt()});
    return sessions;
}
