// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VerificationEmail.h"

namespace VerificationEmail {

QString subject()
{
    return QStringLiteral("Nimbrel Verification Code");
}

EmailBody body(const QString &code)
{
    return {
        QStringLiteral("<p>Your <strong>Nimbrel</strong> verification code is: <strong>") + code +
            QStringLiteral("</strong></p>\n<p>If you didn't request this, ignore this email.</p>"),
        QStringLiteral("Your Nimbrel verification code is: ") + code +
            QStringLiteral("\n\nIf you didn't request this, ignore this email.\n")};
}

} // namespace VerificationEmail
