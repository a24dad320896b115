// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CurlHttpClient.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

// What the relay answers for a send it forwarded.
struct ForwardedAnswer
{
    int status = 0;
    QByteArray body;       // the provider's {"id": …}, or an error in its shape
    QByteArray retryAfter; // passed on with a 429
};

// The organisation's account at the provider: sends with its key and its
// sender. The provider's answer comes back with its meaning, never with the
// key: its own words are kept only through ProviderAnswer's cleaning, and a
// refused key is the relay's failure (502), not the candidate's.
class ProviderClient : public QObject
{
    Q_OBJECT

public:
    struct Email
    {
        QString to;
        QString subject;
        QString html;
        QString text;
        QString idempotencyKey;
    };
    using Done = std::function<void(ForwardedAnswer)>;

    ProviderClient(QUrl emailsEndpoint, QString apiKey, QString sender, QObject *parent = nullptr);

    void send(const Email &email, Done done);

private:
    QUrl m_endpoint;
    QString m_apiKey;
    QString m_sender;
    CurlHttpClient *m_http;
};
