// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

// Why a send failed: a transport error, a time-out, the provider's refusal
// (an HTTP status outside 200..299), an answer that does not confirm the send
// (no message id) or a message that could not be sent at all.
struct EmailError
{
    enum class Kind {
        Network,        // the connection failed (refused, host not found, TLS, reset...) or
                        // the answer was cut off or confirmed no message
        Refused,        // the provider answered with a status outside 200..299
        TimedOut,       // no complete answer within the transfer time-out
        Cancelled,      // the sender was destroyed while the request was in flight
        InvalidMessage, // the body could not be encoded; nothing was sent
        Misconfigured,  // Config.plist names an unusable API address or key; nothing was sent
    };

    QString description; // localized, human-readable, never contains the API key
    Kind kind = Kind::Network;
};

// An e-mail's body in its two forms. Every e-mail carries both: spam filters
// weigh a message that is HTML only against it, and some readers show text only.
struct EmailBody
{
    QString html;
    QString text;
};

using EmailCompletion = std::function<void(bool success, std::optional<EmailError> error)>;

// Sends one HTML e-mail to one recipient. Implementations never block on the
// network and call the completion exactly once.
class EmailSender
{
public:
    // Whether a send that failed for a passing reason (no connection, a
    // time-out, the provider's rate limit or its own failure) is tried again.
    // A verification code is not: the person waiting for it just asks again.
    enum class Retry { Never, OnTransientFailure };

    virtual ~EmailSender() = default;

    virtual void sendEmail(const QString &to, const QString &subject, const QString &html,
                           const std::optional<QString> &text, EmailCompletion completion,
                           Retry retry = Retry::Never) = 0;
    // Called on each monitoring tick and when monitoring stops. A relay hears
    // it, so that it can tell the interviewer when Nimbrel goes silent; the
    // provider needs nothing of it.
    virtual void heartbeat(bool monitoring, int lineCount)
    {
        Q_UNUSED(monitoring);
        Q_UNUSED(lineCount);
    }
};
