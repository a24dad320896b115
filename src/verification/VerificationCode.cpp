// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VerificationCode.h"

#include <QRandomGenerator>

namespace VerificationCode {

quint32 fromWords(const std::function<quint32()> &nextWord)
{
    // The largest multiple of span that fits in 2^32; words at or above it
    // would favour the smallest remainders.
    constexpr quint64 acceptBelow = (quint64(1) << 32) / span * span;
    quint32 word = nextWord();
    while (word >= acceptBelow)
        word = nextWord();
    return lowest + word % span;
}

QString generate()
{
    QRandomGenerator *source = QRandomGenerator::system();
    return QString::number(fromWords([source] { return source->generate(); }));
}

} // namespace VerificationCode
