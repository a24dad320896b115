// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SendValidation.h"

#include "EmailAddress.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr qsizetype maxRecipients = 50;

const QString addressFormat = QStringLiteral(
    "The email address needs to follow the `email@example.com` or `Name <email@example.com>` "
    "format.");

Rejection missingField(const char *field)
{
    return {422, QStringLiteral("missing_required_field"),
            QStringLiteral("Missing `%1` field.").arg(QLatin1String(field))};
}

Rejection invalidField(const char *field, const QString &why)
{
    return {422, QStringLiteral("validation_error"),
            QStringLiteral("Invalid `%1` field. %2").arg(QLatin1String(field), why)};
}

bool isAbsent(const QJsonValue &value)
{
    return value.isUndefined() || value.isNull();
}

} // namespace

std::optional<Rejection> checkApiKey(const HeaderList &headers,
                                     const std::optional<QString> &expectedKey)
{
    const Rejection missing{401, QStringLiteral("missing_api_key"),
                            QStringLiteral("Missing API key in the authorization header. Include "
                                           "the following header in the request: "
                                           "Authorization: Bearer YOUR_API_KEY")};
    const std::optional<QByteArray> authorization = headerValue(headers, "authorization");
    static constexpr char scheme[] = "bearer ";
    if (!authorization || !authorization->toLower().startsWith(scheme))
        return missing;
    const QString key = QString::fromUtf8(authorization->mid(qsizetype(sizeof scheme) - 1));
    if (key.isEmpty())
        return missing;
    if (expectedKey && key != *expectedKey)
        return Rejection{403, QStringLiteral("invalid_api_key"),
                         QStringLiteral("API key is invalid")};
    return std::nullopt;
}

QJsonObject Rejection::toJson() const
{
    return {{QStringLiteral("statusCode"), status},
            {QStringLiteral("message"), message},
            {QStringLiteral("name"), name}};
}

std::optional<QByteArray> headerValue(const HeaderList &headers, const QByteArray &name)
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

std::variant<AcceptedEmail, Rejection> validateSend(const HeaderList &headers,
                                                    const QByteArray &body,
                                                    const std::optional<QString> &expectedKey)
{
    if (auto rejection = checkApiKey(headers, expectedKey))
        return *rejection;
    if (headerValue(headers, "user-agent").value_or(QByteArray()).trimmed().isEmpty())
        return Rejection{403, QStringLiteral("validation_error"),
                         QStringLiteral("Missing `user-agent` header.")};

    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return Rejection{422, QStringLiteral("validation_error"),
                         QStringLiteral("The request body must be a JSON object.")};
    const QJsonObject object = document.object();

    AcceptedEmail email;
    const QJsonValue from = object.value(QLatin1String("from"));
    if (isAbsent(from))
        return missingField("from");
    if (!from.isString() || !isEmailAddress(from.toString()))
        return Rejection{422, QStringLiteral("invalid_from_address"),
                         QStringLiteral("Invalid `from` field. ") + addressFormat};
    email.from = from.toString();

    const QJsonValue to = object.value(QLatin1String("to"));
    if (isAbsent(to))
        return missingField("to");
    if (to.isString()) {
        email.to = {to.toString()};
    } else if (to.isArray()) {
        for (const QJsonValue &recipient : to.toArray()) {
            if (!recipient.isString())
                return invalidField("to", addressFormat);
            email.to.append(recipient.toString());
        }
    } else {
        return invalidField("to", QStringLiteral("Expected a string or an array of strings."));
    }
    if (email.to.isEmpty())
        return missingField("to");
    if (email.to.size() > maxRecipients)
        return invalidField(
            "to", QStringLiteral("At most %1 recipients are allowed.").arg(maxRecipients));
    for (const QString &recipient : std::as_const(email.to)) {
        if (!isEmailAddress(recipient))
            return invalidField("to", addressFormat);
    }

    const QJsonValue subject = object.value(QLatin1String("subject"));
    if (isAbsent(subject))
        return missingField("subject");
    if (!subject.isString())
        return invalidField("subject", QStringLiteral("Expected a string."));
    email.subject = subject.toString();

    for (const char *field : {"html", "text"}) {
        const QJsonValue value = object.value(QLatin1String(field));
        if (!isAbsent(value) && !value.isString())
            return invalidField(field, QStringLiteral("Expected a string."));
    }
    email.html = object.value(QLatin1String("html")).toString();
    email.text = object.value(QLatin1String("text")).toString();
    return email;
}

std::optional<Rejection> checkOnboardingSender(const AcceptedEmail &email,
                                               const QString &accountOwner)
{
    if (!bareEmailAddress(email.from).endsWith(QLatin1String("@resend.dev"), Qt::CaseInsensitive))
        return std::nullopt;
    for (const QString &recipient : email.to) {
        if (bareEmailAddress(recipient).compare(accountOwner, Qt::CaseInsensitive) != 0)
            return Rejection{
                403, QStringLiteral("validation_error"),
                QStringLiteral("You can only send testing emails to your own email address (%1). "
                               "To send emails to other recipients, please verify a domain at "
                               "resend.com/domains, and change the `from` address to an email "
                               "using this domain.")
                    .arg(accountOwner)};
    }
    return std::nullopt;
}

QString errorNameForStatus(int status)
{
    switch (status) {
    case 400:
    case 422:
        return QStringLiteral("validation_error");
    case 401:
        return QStringLiteral("missing_api_key");
    case 403:
        return QStringLiteral("invalid_api_key");
    case 404:
        return QStringLiteral("not_found");
    case 405:
        return QStringLiteral("method_not_allowed");
    case 429:
        return QStringLiteral("rate_limit_exceeded");
    case 500:
        return QStringLiteral("internal_server_error");
    default:
        return QStringLiteral("application_error");
    }
}
