// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "EmailAddress.h"

#include <QRegularExpression>

bool isEmailAddress(const QString &value)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(?:[^<>"]*<)?[^\s@<>()\[\],;:"]+@[^\s@<>()\[\],;:".]+(?:\.[^\s@<>()\[\],;:".]+)+>?$)"));
    const bool bracketed = value.endsWith(QLatin1Char('>'));
    return bracketed == value.contains(QLatin1Char('<')) && pattern.match(value).hasMatch();
}

QString bareEmailAddress(const QString &value)
{
    const qsizetype open = value.lastIndexOf(QLatin1Char('<'));
    return open >= 0 && value.endsWith(QLatin1Char('>')) ? value.sliced(open + 1).chopped(1)
                                                         : value;
}
