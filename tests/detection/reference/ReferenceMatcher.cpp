#include "ReferenceMatcher.h"

#include "CanonicalText.h"
#include "SuspiciousNamePatterns.h"

#include <algorithm>

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
