// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProviderAnswer.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace ProviderAnswer {

namespace {

constexpr qsizetype maxMessageLength = 200;
// Longer waits than this are as good as "never" and must not overflow.
constexpr qint64 maxWaitSeconds = 365LL * 24 * 3600;

// The provider's "message", as one line of bounded length without the key.
QString providerMessage(const QByteArray &body, const QString &apiKey)
{
    QString message =
        QJsonDocument::fromJson(body).object().value(QLatin1String("message")).toString();
    if (!apiKey.isEmpty())
        message.replace(apiKey, QStringLiteral("[API key]"));
    for (QChar &c : message) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    message = message.simplified();
    if (message.size() > maxMessageLength)
        message = message.left(maxMessageLength - 1) + QChar(0x2026);
    return message;
}

QString meaning(int status, const QByteArray &body, const QString &apiKey)
{
    const auto text = [](const char *source) {
        return QCoreApplication::translate("ResendService", source);
    };
    // The provider's answer when its shared sender writes to anyone but the
    // account's owner: the key is fine, the sender is not.
    if (status == 403 &&
        providerMessage(body, apiKey)
            .contains(QLatin1String("only send testing emails to your own email address"),
                      Qt::CaseInsensitive))
        return text("the provider's shared sender reaches only the account's own address; set "
                    "SenderAddress in Config.plist to an address at a domain verified with the "
                    "provider");
    // A 403 about what is sent rather than who sends it (a domain not
    // verified; a relay's rule on recipients) says what it refuses.
    if (status == 403 &&
        QJsonDocument::fromJson(body).object().value(QLatin1String("name")).toString() ==
            QLatin1String("validation_error")) {
        if (const QString message = providerMessage(body, apiKey); !message.isEmpty())
            return message;
    }
    if (status == 401 || status == 403)
        return text("the API key was refused");
    if (status == 429)
        return text("the e-mail service's rate limit or daily quota was reached");
    if (status >= 500 && status <= 599)
        return text("the e-mail service failed");
    if (status >= 300 && status <= 399)
        return text("redirects are not followed");
    if (status >= 400 && status <= 499) {
        const QString message = providerMessage(body, apiKey);
        if (!message.isEmpty())
            return message;
        return status == 422 ? text("the e-mail was refused as invalid") : QString();
    }
    return {};
}

} // namespace

std::optional<EmailError> failureOf(const HttpResponse &response, const QString &apiKey)
{
    if (response.failure)
        return response.failure;
    const int status = response.status;
    QString description =
        QCoreApplication::translate("ResendService", "the e-mail service answered %1").arg(status);
    if (status >= 200 && status <= 299) {
        const QJsonValue id = QJsonDocument::fromJson(response.body)[QLatin1String("id")];
        if (id.isString() && !id.toString().isEmpty())
            return std::nullopt;
        return EmailError{
            QCoreApplication::translate("ResendService",
                                        "the e-mail service answered %1 without a message id")
                .arg(status),
            EmailError::Kind::Network};
    }
    if (const QString why = meaning(status, response.body, apiKey); !why.isEmpty())
        description += QStringLiteral(" (") + why + QLatin1Char(')');
    return EmailError{description, EmailError::Kind::Refused};
}

bool isTransient(const HttpResponse &response, const EmailError &error)
{
    return error.kind == EmailError::Kind::Network || error.kind == EmailError::Kind::TimedOut ||
           response.status == 429 || (response.status >= 500 && response.status <= 599);
}

std::optional<std::chrono::milliseconds> requestedWait(const HttpResponse &response,
                                                       const QDateTime &now)
{
    bool isNumber = false;
    const qint64 seconds = response.retryAfter.toLongLong(&isNumber);
    if (isNumber && seconds >= 0)
        return std::chrono::seconds(std::min(seconds, maxWaitSeconds));
    // An HTTP date ends in "GMT", which Qt's RFC 2822 reader does not take.
    QString date = QString::fromLatin1(response.retryAfter);
    if (date.endsWith(QLatin1String(" GMT")))
        date = date.chopped(3) + QLatin1String("+0000");
    const QDateTime at = QDateTime::fromString(date, Qt::RFC2822Date);
    if (at.isValid())
        return std::chrono::milliseconds(std::max<qint64>(0, now.msecsTo(at)));
    const qint64 reset = response.rateLimitReset.toLongLong(&isNumber);
    if (isNumber && reset >= 0)
        return std::chrono::seconds(std::min(reset, maxWaitSeconds));
    return std::nullopt;
}

} // namespace ProviderAnswer
