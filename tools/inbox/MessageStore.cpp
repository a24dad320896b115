// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageStore.h"

namespace {

QJsonArray toArray(const QList<QJsonObject> &list)
{
    QJsonArray array;
    for (const QJsonObject &entry : list)
        array.append(entry);
    return array;
}

} // namespace

MessageStore::MessageStore(qsizetype capacity) : m_capacity(capacity) {}

void MessageStore::addMessage(const QJsonObject &message)
{
    addCapped(m_messages, message);
}

void MessageStore::clearMessages()
{
    m_messages.clear();
}

void MessageStore::addRequest(const QJsonObject &request)
{
    addCapped(m_requests, request);
}

QJsonArray MessageStore::messagesJson() const
{
    return toArray(m_messages);
}

QJsonArray MessageStore::requestsJson() const
{
    return toArray(m_requests);
}

void MessageStore::addCapped(QList<QJsonObject> &list, const QJsonObject &entry) const
{
    list.prepend(entry);
    if (list.size() > m_capacity)
        list.removeLast();
}
