// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SendRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>

namespace {

struct KnownSubject
{
    const char *subject;
    const char *kind;
    std::optional<bool> monitoring;
};

constexpr std::array<KnownSubject, 6> knownSubjects{{
    {"Nimbrel Verification Code", "verification", std::nullopt},
    {"Nimbrel Monitoring Started", "started", true},
    {"Nimbrel Monitoring Stopped", "stopped", false},
    {"Nimbrel Scan Results", "findings", std::nullopt},
    {"Nimbrel Monitoring Status", "status", true},
    {"Nimbrel: Environment Changed", "environment", std::nullopt},
}};

RelayError invalid(const QString &message)
{
    return {422, QStringLiteral("validation_error"), message};
}

} // namespace

QString maskedAddress(const QString &address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0)
        return QStringLiteral("•••");
    return address.left(1) + QStringLiteral("•••") + address.mid(at);
}

std::variant<AllowedEmail, RelayError> checkSend(const QByteArray &body, const QString &interviewer)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return invalid(QStringLiteral("The body is not a JSON object."));
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        static const QStringList allowed{QStringLiteral("from"), QStringLiteral("to"),
                                         QStringLiteral("subject"), QStringLiteral("html"),
                                         QStringLiteral("text")};
        if (!allowed.contains(it.key()))
            return invalid(QStringLiteral("The relay does not send the field `%1`.").arg(it.key()));
    }

    const QJsonValue to = object.value(QStringLiteral("to"));
    const QJsonArray recipients = to.isArray() ? to.toArray() : QJsonArray{to};
    if (recipients.size() != 1 || !recipients.first().isString())
        return invalid(QStringLiteral("`to` must name exactly one recipient."));
    if (recipients.first().toString().trimmed().compare(interviewer, Qt::CaseInsensitive) != 0)
        return RelayError{403, QStringLiteral("validation_error"),
                          QStringLiteral("This session reports to %1; it cannot send to other "
                                         "addresses.")
                              .arg(maskedAddress(interviewer))};

    const QString subject = object.value(QStringLiteral("subject")).toString();
    const auto known = std::find_if(knownSubjects.begin(), knownSubjects.end(), [&](const auto &k) {
        return subject == QLatin1String(k.subject);
    });
    if (known == knownSubjects.end())
        return invalid(QStringLiteral("The relay sends only Nimbrel's own e-mails."));

    const QJsonValue html = object.value(QStringLiteral("html"));
    const QJsonValue text = object.value(QStringLiteral("text"));
    if (!html.isString() || !(text.isString() || text.isUndefined()))
        return invalid(QStringLiteral("`html` must be a string, and `text` one when given."));
    return AllowedEmail{subject, html.toString(), text.toString(), QLatin1String(known->kind),
                        known->monitoring};
}
