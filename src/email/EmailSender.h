#pragma once

#include <QString>

#include <functional>
#include <optional>

// A failure that carries an error value: a transport error, a time-out or a
// message that could not be sent at all. Failures without one (an HTTP status
// outside 200..299) come as std::nullopt.
struct EmailError
{
    enum class Kind {
        Network,        // the connection failed (refused, host not found, TLS, reset...)
        TimedOut,       // no complete answer within the transfer time-out
        Cancelled,      // the sender was destroyed while the request was in flight
        InvalidMessage, // the body could not be encoded; nothing was sent
        Misconfigured,  // Config.plist names an unusable API address or key; nothing was sent
    };

    QString description; // localized, human-readable, never contains the API key
    Kind kind = Kind::Network;
};

using EmailCompletion = std::function<void(bool success, std::optional<EmailError> error)>;

// Sends one HTML e-mail to one recipient. Implementations never block on the
// network and call the completion exactly once.
class EmailSender
{
public:
    virtual ~EmailSender() = default;

    virtual void sendEmail(const QString &to, const QString &subject, const QString &html,
                           const std::optional<QString> &text, EmailCompletion completion) = 0;
};
