// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HttpConnection.h"
#include "IdempotencyCache.h"
#include "MessageStore.h"
#include "SendLimits.h"
#include "SendValidation.h"

#include <QObject>

#include <optional>

struct InboxOptions
{
    std::optional<QString> apiKey;     // accept only this bearer key; any non-empty key when unset
    std::optional<int> forcedStatus;   // answer every send with this status
    int delayMs = 0;                   // wait this long before answering a send
    qsizetype maxMessages = 500;       // messages (and requests) kept in memory
    std::optional<int> limitPerSecond; // requests a second before answering 429
    std::optional<int> dailyQuota;     // accepted e-mails a day before answering 429
    // The account owner's address: the provider's shared sender then reaches
    // only it, as for an account without a verified domain.
    std::optional<QString> accountOwner;
};

// A Resend-compatible inbox on the loopback interface:
//   POST /emails       validated like the provider, with its Idempotency-Key and,
//                      when set, its rate limit and daily quota; accepted
//                      messages are kept
//   GET  /api/emails   accepted messages as JSON, newest first
//   DELETE /api/emails forgets them
//   GET  /api/requests every POST /emails with its answer status, newest first
//   GET  /             the page that shows them (with /inbox.js, /inbox.css)
// With a key set, every /api route wants it as the bearer token, as a send
// does. Of each message and logged request, at most 16 KiB of its body, HTML
// and text are kept.
class ResendInbox : public QObject
{
    Q_OBJECT

public:
    explicit ResendInbox(const InboxOptions &options, QObject *parent = nullptr);

    // Listens on 127.0.0.1; returns the bound port, or 0 on failure.
    quint16 listen(quint16 port);

private:
    void handle(const HttpRequest &request, const HttpConnection::Answer &answer);
    void receiveSend(const HttpRequest &request, const HttpConnection::Answer &answer);
    // Answers a send, after --delay-ms.
    void answerSend(const HttpConnection::Answer &answer, const QJsonObject &body, int status,
                    const HeaderList &headers = {});
    void logRequest(const HttpRequest &request, int status, const QString &receivedAt);
    void printReceived(int status, const QStringList &to, const QString &subject) const;

    InboxOptions m_options;
    MessageStore m_store;
    IdempotencyCache m_idempotency;
    SendLimits m_limits;
};
