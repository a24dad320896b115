// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// A refusal in the provider's error shape, so a Resend client reads the
// relay's refusals as it reads the provider's.
struct RelayError
{
    int status;
    QString name;
    QString message;

    QByteArray toJson() const
    {
        return QJsonDocument(QJsonObject{{QStringLiteral("statusCode"), status},
                                         {QStringLiteral("name"), name},
                                         {QStringLiteral("message"), message}})
            .toJson(QJsonDocument::Compact);
    }
};
