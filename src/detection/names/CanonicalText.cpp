// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/names/CanonicalText.h"

#include <algorithm>

// Qt normalises in place: every character that decomposes into more than one
// shifts the rest of the string, and a run of combining marks is sorted by
// exchanges. Both cost time quadratic in the length, so a long text is
// handled in pieces.

namespace {

// Texts up to this length are normalised whole.
constexpr qsizetype wholeLimit = 256;
// A longer text is cut into pieces of about this length, before a character
// below U+0300 where one comes (such a character never combines with what
// precedes it, so the cut changes nothing), else before any character that
// does not combine (ccc 0), else anywhere between code points.
constexpr qsizetype pieceLength = 64;

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    return c.unicode();
}

// Whether the text may be cut before position `i`, given how long the current
// piece already is. A surrogate pair is never cut.
bool mayCutBefore(QStringView text, qsizetype i, qsizetype pieceSoFar)
{
    if (text.at(i).isLowSurrogate() && text.at(i - 1).isHighSurrogate())
        return false;
    if (pieceSoFar >= 3 * pieceLength)
        return true;
    const char32_t codePoint = codePointAt(text, i);
    if (pieceSoFar >= 2 * pieceLength)
        return QChar::combiningClass(codePoint) == 0;
    return pieceSoFar >= pieceLength && codePoint < 0x300;
}

QString normalisedInPieces(const QString &text)
{
    QString result;
    result.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (mayCutBefore(text, i, i - start)) {
            result.append(text.sliced(start, i - start).normalized(QString::NormalizationForm_C));
            start = i;
        }
    }
    result.append(text.sliced(start).normalized(QString::NormalizationForm_C));
    return result;
}

} // namespace

QString canonicalForm(const QString &text)
{
    if (isAscii(text))
        return text;
    if (text.size() <= wholeLimit)
        return text.normalized(QString::NormalizationForm_C);
    return normalisedInPieces(text);
}
