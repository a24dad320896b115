// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "IdempotencyCache.h"

#include <QCryptographicHash>

namespace {
constexpr qint64 keptForSeconds = 24 * 3600;
}

QByteArray IdempotencyCache::hashOf(const QByteArray &body)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256);
}

std::optional<IdempotencyCache::Kept> IdempotencyCache::find(const QByteArray &key,
                                                             const QDateTime &now)
{
    dropExpired(now);
    const auto found = m_byKey.constFind(key);
    if (found == m_byKey.constEnd())
        return std::nullopt;
    return *found;
}

void IdempotencyCache::keep(const QByteArray &key, const QByteArray &body, const QByteArray &answer,
                            const QDateTime &now)
{
    dropExpired(now);
    if (m_byKey.contains(key))
        return;
    m_byKey.insert(key, {hashOf(body), answer, now});
    m_order.push_back(key);
    while (qsizetype(m_order.size()) > m_capacity) {
        m_byKey.remove(m_order.front());
        m_order.pop_front();
    }
}

void IdempotencyCache::dropExpired(const QDateTime &now)
{
    while (!m_order.empty() && m_byKey.value(m_order.front()).at.secsTo(now) >= keptForSeconds) {
        m_byKey.remove(m_order.front());
        m_order.pop_front();
    }
}
