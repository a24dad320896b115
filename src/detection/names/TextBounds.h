// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the scan trusts of text a program chose: names and identifiers are cut
// to these lengths, so that no program can make the matching work grow with
// what it writes.
inline constexpr qsizetype maxIdentifierLength = 255; // as a file name
inline constexpr qsizetype maxDisplayNameLength = 1024;

// `text` cut to `maxLength` UTF-16 code units, never inside a surrogate pair.
inline QString cutText(QString text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    if (text.at(maxLength - 1).isHighSurrogate())
        --maxLength;
    text.truncate(maxLength);
    return text;
}
