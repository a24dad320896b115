// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

// Everything the inbox received, newest first, each list capped so a long
// session or a load run never grows without bound.
class MessageStore
{
public:
    explicit MessageStore(qsizetype capacity);

    // An accepted e-mail.
    void addMessage(const QJsonObject &message);
    // Forgets every accepted e-mail; the request log stays.
    void clearMessages();
    // Any POST /emails, accepted or not, with the status it was answered with.
    void addRequest(const QJsonObject &request);

    const QList<QJsonObject> &messages() const { return m_messages; }
    QJsonArray messagesJson() const;
    QJsonArray requestsJson() const;

private:
    void addCapped(QList<QJsonObject> &list, const QJsonObject &entry) const;

    qsizetype m_capacity;
    QList<QJsonObject> m_messages;
    QList<QJsonObject> m_requests;
};
