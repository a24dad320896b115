// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/X11Properties.h"

#include <QStringDecoder>

namespace {

QString decodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

QByteArrayView untilNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
}

} // namespace

QByteArrayView propertyBytes(const XcbReply<void> &reply)
{
    auto *property = asProperty(reply);
    if (!property || property->format != 8)
        return {};
    return {static_cast<const char *>(xcb_get_property_value(property)),
            xcb_get_property_value_length(property)};
}

QString firstString(QByteArrayView bytes)
{
    return decodeText(untilNul(bytes)).trimmed();
}

QString collapsedText(QByteArrayView bytes)
{
    return decodeText(untilNul(bytes)).simplified();
}
