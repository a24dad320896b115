#include "ReferenceMatcher.h"

#include "CanonicalText.h"
#include "SuspiciousNamePatterns.h"

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
    for (const QString &candidate : candidates) {
        if (name.contains(candidate))
            return true;
    }
    return false;
}

bool referenceContainsLookalikeForm(const QString &lower)
{
    return referenceContainsLookalikeForm(lower, referenceLookalikeCandidates());
}

bool referenceHoldsWrittenForm(const QString &lower)
{
    for (std::u16string_view pattern : cluelyNamePatterns) {
        if (containsCanonically(lower, QString::fromUtf16(pattern.data(), pattern.size())))
            return true;
    }
    return false;
}

bool referenceHoldsEncodedForm(const QString &name)
{
    return containsCanonically(name, QStringLiteral("Y2x1ZWx5")) ||
           containsCanonically(name.toLower(), QStringLiteral("636c75656c79"));
}

bool referenceIsSuspiciousName(const QString &name)
{
    const QString lower = name.toLower();
    return referenceHoldsWrittenForm(lower) || referenceContainsLookalikeForm(lower) ||
           referenceHoldsEncodedForm(name);
}
