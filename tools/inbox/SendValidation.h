// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RequestHead.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// A send the provider would refuse, in its error shape.
struct Rejection
{
    int status;
    QString name;
    QString message;

    QJsonObject toJson() const;
};

// A send the provider would accept.
struct AcceptedEmail
{
    QString from;
    QStringList to;
    QString subject;
    QString html;
    QString text;
};

// Case-insensitive header lookup.
std::optional<QByteArray> headerValue(const HeaderList &headers, const QByteArray &name);

// The provider's check of the bearer key: against expectedKey when one is
// set, else any non-empty key; 401 when there is none, 403 when it is wrong.
std::optional<Rejection> checkApiKey(const HeaderList &headers,
                                     const std::optional<QString> &expectedKey);

// Checks a POST /emails the way the provider does: the bearer key (against
// expectedKey when one is set, else any non-empty key), the User-Agent, then
// the JSON body's fields and addresses.
std::variant<AcceptedEmail, Rejection> validateSend(const HeaderList &headers,
                                                    const QByteArray &body,
                                                    const std::optional<QString> &expectedKey);

// The provider's refusal of a send from its shared onboarding sender to anyone
// but the account's owner.
std::optional<Rejection> checkOnboardingSender(const AcceptedEmail &email,
                                               const QString &accountOwner);

// The provider's error name for a status, for answers forced by --status.
QString errorNameForStatus(int status);
