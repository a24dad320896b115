// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/SystemdEscape.h"

#include <QByteArray>

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

QString systemdUnescape(QStringView escaped)
{
    // Decoded bytes are collected first, so that escapes of one multi-byte
    // character join into valid UTF-8.
    QByteArray bytes;
    bytes.reserve(escaped.size());
    qsizetype literalStart = 0;
    for (qsizetype i = 0; i + 3 < escaped.size(); ++i) {
        if (escaped[i] != u'\\' || escaped[i + 1] != u'x')
            continue;
        const int high = hexValue(escaped[i + 2]);
        const int low = hexValue(escaped[i + 3]);
        if (high < 0 || low < 0)
            continue;
        bytes.append(escaped.sliced(literalStart, i - literalStart).toUtf8());
        bytes.append(char(high * 16 + low));
        i += 3;
        literalStart = i + 1;
    }
    bytes.append(escaped.sliced(literalStart).toUtf8());
    return QString::fromUtf8(bytes);
}
