#pragma once

#include <QString>

#include <functional>
#include <optional>

// A failure that carries an error value: a transport error, a time-out or a
// body that could not be serialised. Failures without one (an HTTP status
// outside 200..299) come as std::nullopt.
struct EmailError
{
    QString description; // human-readable, never contains the API key
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
