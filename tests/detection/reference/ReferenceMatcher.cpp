// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceMatcher.h"

#include "detection/names/CanonicalText.h"
#include "detection/names/NameSkeleton.h"
#include "detection/names/SuspiciousNamePatterns.h"

#include <QSet>

#include <algorithm>

namespace {

bool containsCanonically(const QString &text, const QString &pattern)
{
    return canonicalForm(text).contains(canonicalForm(pattern));
}

// The forms as read both ways.
const QStringList &skeletonForms()
{
    static const QStringList forms = [] {
        QStringList written = referenceLookalikeCandidates();
        for (std::u16string_view pattern : cluelyNamePatterns)
            written.append(QString::fromUtf16(pattern.data(), pattern.size()));
        QSet<QString> skeletons;
        for (const QString &form : written)
            skeletons.unite({nameSkeletons(form).folded, nameSkeletons(form).shown});
        return QStringList(skeletons.cbegin(), skeletons.cend());
    }();
    return forms;
}

bool holdsSkeletonForm(const QString &text)
{
    const Skeletons skeletons = nameSkeletons(text);
    return std::any_of(skeletonForms().cbegin(), skeletonForms().cend(), [&](const QString &form) {
        return skeletons.folded.contains(form) || skeletons.shown.contains(form);
    });
}

QString readAsAscii(const QByteArray &bytes)
{
    QString text;
    for (char byte : bytes)
        text.append(uchar(byte) < 0x80 ? QChar(byte) : QChar::ReplacementCharacter);
    return text;
}

// The maximal runs of `name` made of characters in `digits`.
QStringList runs(const QString &name, const QString &digits)
{
    QStringList found{QString()};
    for (QChar c : name) {
        if (digits.contains(c))
            found.last().append(c);
        else if (!found.last().isEmpty())
            found.append(QString());
    }
    return found;
}

QStringList decodedTexts(const QString &name)
{
    const QString alphanumerics =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"_qs;
    QStringList texts;
    for (const QString &run : runs(name, alphanumerics + u"+/-_"_qs)) {
        for (int start = 0; start < 4; ++start) {
            QByteArray digits = run.mid(start).toLatin1().replace('-', '+').replace('_', '/');
            texts.append(readAsAscii(QByteArray::fromBase64(digits)));
        }
    }
    for (const QString &run : runs(name, u"0123456789abcdefABCDEF"_qs)) {
        for (int start = 0; start < 2; ++start) {
            const qsizetype pairs = (run.size() - start) / 2;
            texts.append(readAsAscii(QByteArray::fromHex(run.mid(start, 2 * pairs).toLatin1())));
        }
    }
    return texts;
}

} // namespace

QStringList referenceLookalikeCandidates()
{
    QStringList candidates{QString()};
    for (char16_t letter : cluelyTargetWord) {
        QStringList longer;
        for (const QString &prefix : candidates) {
            for (char16_t alternative : lookalikeAlternatives(letter))
                longer.append(prefix + QChar(alternative));
        }
        candidates = longer;
    }
    return candidates;
}

bool referenceContainsLookalikeForm(const QString &lower, const QStringList &candidates)
{
    // Every candidate is already in NFC, so canonical containment is a plain
    // search in the name's NFC form.
    const QString name = canonicalForm(lower);
    return std::any_of(candidates.cbegin(), candidates.cend(),
                       [&name](const QString &candidate) { return name.contains(candidate); });
}

bool referenceHoldsWrittenOrEncodedForm(const QString &name)
{
    const QString lower = name.toLower();
    for (std::u16string_view pattern : cluelyNamePatterns) {
        if (containsCanonically(lower, QString::fromUtf16(pattern.data(), pattern.size())))
            return true;
    }
    return containsCanonically(name, QStringLiteral("Y2x1ZWx5")) ||
           containsCanonically(lower, QStringLiteral("636c75656c79"));
}

bool referenceIsSuspiciousName(const QString &name)
{
    return referenceHoldsWrittenOrEncodedForm(name) ||
           referenceContainsLookalikeForm(name.toLower(), referenceLookalikeCandidates());
}

bool referenceReadsAsForm(const QString &name)
{
    if (holdsSkeletonForm(name))
        return true;
    const QStringList decoded = decodedTexts(name);
    return std::any_of(decoded.cbegin(), decoded.cend(), holdsSkeletonForm);
}
