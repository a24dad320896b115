// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Status messages that name an e-mail address, laid out so the address reads
// as one: it may break only before an "@" or a ".", never at a hyphen or a
// blank inside it, and when it would still take more than two lines it is
// cut in its middle ("first.last…@example.com"). The rest of the message
// wraps at its words as usual. The result is for showing only: it carries
// invisible joiners, so the accessible name and the tooltip take the message.
//
//     Text {
//         width: room
//         wrapMode: Text.WordWrap
//         text: AddressText.fit(message, flow.verificationAddress, font, room)
//     }
class AddressText : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    static constexpr int defaultAddressLines = 2;

    // The text to show for `message` in `font`, wrapped at `width` pixels, the
    // address on at most `addressLines` lines. A message without the address
    // comes back unchanged.
    Q_INVOKABLE static QString fit(const QString &message, const QString &address,
                                   const QFont &font, qreal width,
                                   int addressLines = defaultAddressLines);
};
