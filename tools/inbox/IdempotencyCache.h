// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>

#include <deque>
#include <optional>

// Answers kept per Idempotency-Key, as the provider keeps them: for 24 hours,
// and the same key with another body is a conflict. Only accepted sends are
// kept, so a send refused for a passing reason (429) can be tried again under
// its key. At most `capacity` keys are kept, the oldest dropped first.
class IdempotencyCache
{
public:
    struct Kept
    {
        QByteArray bodyHash;
        QByteArray answer; // the JSON the first request was answered with
        QDateTime at;
    };

    explicit IdempotencyCache(qsizetype capacity) : m_capacity(capacity) {}

    // What was kept for this key and is not yet 24 hours old.
    std::optional<Kept> find(const QByteArray &key, const QDateTime &now);
    void keep(const QByteArray &key, const QByteArray &body, const QByteArray &answer,
              const QDateTime &now);

    static QByteArray hashOf(const QByteArray &body);

private:
    void dropExpired(const QDateTime &now);

    qsizetype m_capacity;
    QHash<QByteArray, Kept> m_byKey;
    std::deque<QByteArray> m_order; // keys, oldest first
};
