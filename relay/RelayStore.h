// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DatabaseUrl.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

// A session as the relay checks requests against it.
struct SessionRecord
{
    qint64 id = 0;
    QString interviewer;
    qint64 expiresAt = 0; // milliseconds since the epoch, UTC
};

// One entry of a session's timeline.
struct TimelineEvent
{
    qint64 id = 0;
    qint64 at = 0;
    QString kind; // claimed, verification, started, findings, stopped, silent, back
    QString detail;
};

// A session as its interviewer's pages show it.
struct SessionSummary
{
    qint64 id = 0;
    qint64 createdAt = 0;
    qint64 expiresAt = 0;
    bool claimed = false;
    bool monitoring = false;
    bool silent = false;
    qint64 lastHeartbeat = 0;
    int lastLines = 0;
};

// A monitoring session the liveness watch just found silent.
struct SilentSession
{
    qint64 sessionId = 0;
    qint64 eventId = 0;
    QString interviewer;
    qint64 lastHeartbeat = 0;
};

// The relay's database through Qt Sql: SQLite in WAL mode or PostgreSQL, the
// schema brought to the current version on open. Every write is committed
// before the call returns, so what a caller answers is on disk (for SQLite,
// durable across a crash of the process; synchronous=NORMAL leaves only a
// power cut to the last transactions). Used from one thread.
class RelayStore
{
public:
    enum class ClaimRefusal { Unknown, Used, Expired, Failed };

    static std::variant<std::unique_ptr<RelayStore>, QString> open(const DatabaseUrl &url,
                                                                   const QString &connectionName);
    ~RelayStore();
    RelayStore(const RelayStore &) = delete;
    RelayStore &operator=(const RelayStore &) = delete;

    static constexpr int schemaVersion = 2;
    QString lastError() const { return m_error; }

    std::optional<qint64> createSession(const QString &interviewer, const QByteArray &codeHash,
                                        qint64 now, qint64 expiresAt, const QString &actor);
    std::variant<SessionRecord, ClaimRefusal> claim(const QByteArray &codeHash,
                                                    const QByteArray &tokenHash, qint64 now);
    std::optional<SessionRecord> sessionForToken(const QByteArray &tokenHash);

    // An e-mail the provider took, with what it means for the session's state
    // (monitoring starts or stops); a second e-mail with the same idempotency
    // key is not recorded again. False when nothing could be written.
    bool recordEmail(qint64 sessionId, const QString &kind, const QString &detail,
                     const QString &idempotencyKey, std::optional<bool> monitoring, qint64 now);

    // The session's heartbeat; true in *cameBack when it ended a silence (the
    // "back" event is then written with it).
    bool heartbeat(qint64 sessionId, bool monitoring, int lines, qint64 now, bool *cameBack);

    // Marks monitoring sessions whose last heartbeat is older than silentSince
    // as silent, each with its "silent" event, and returns them. Safe with
    // several relays on one database: each session is marked by one of them.
    std::vector<SilentSession> markSilent(qint64 silentSince, qint64 now);

    std::vector<TimelineEvent> timeline(qint64 sessionId, qint64 afterEventId = 0);

    // Interviewer accounts (Argon2id hashes) and their signed-in browsers
    // (hashed tokens); sign-ins and session creations go into the audit log.
    bool setInterviewer(const QString &email, const QByteArray &passwordHash, qint64 now,
                        const QString &actor);
    std::optional<QByteArray> passwordHash(const QString &email);
    bool signIn(const QByteArray &tokenHash, const QString &email, qint64 now, qint64 expiresAt,
                const QString &address);
    std::optional<QString> signedIn(const QByteArray &tokenHash, qint64 now);
    bool signOut(const QByteArray &tokenHash);
    bool audit(qint64 now, const QString &actor, const QString &action, const QString &detail);
    // The interviewer's newest sessions, or the one with onlyId if it is theirs.
    std::vector<SessionSummary> sessionsOf(const QString &email,
                                           std::optional<qint64> onlyId = std::nullopt);

private:
    explicit RelayStore(QString connectionName);
    bool migrate();
    bool fail(const class QSqlQuery &query);
    bool fail(const QString &what);
    bool insertAudit(qint64 now, const QString &actor, const QString &action,
                     const QString &detail);
    bool insertEvent(qint64 sessionId, qint64 at, const QString &kind, const QString &detail,
                     const QString &idempotencyKey, qint64 *eventId = nullptr);

    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_postgres = false;
    QString m_error;
};
