#include "SuspiciousNameMatcher.h"

#include "CanonicalText.h"
#include "SuspiciousNamePatterns.h"

#include <QByteArray>

#include <cstdint>

namespace {

constexpr qsizetype lookalikeLength = cluelyTargetWord.size();
static_assert(lookalikeLength <= 8, "position masks are eight bits wide");

// Bit k is set when `c` may stand at position k of the target word.
constexpr std::uint8_t positionMask(char16_t c)
{
    std::uint8_t mask = 0;
    for (qsizetype position = 0; position < lookalikeLength; ++position) {
        if (lookalikeAlternatives(cluelyTargetWord[position]).find(c) != std::u16string_view::npos)
            mask |= std::uint8_t(1u << position);
    }
    return mask;
}

constexpr std::array<std::uint8_t, 256> latin1PositionMasks = [] {
    std::array<std::uint8_t, 256> masks{};
    for (char16_t c = 0; c < 256; ++c)
        masks[c] = positionMask(c);
    return masks;
}();

// The look-alike alphabet outside Latin-1 (Greek and Cyrillic letters).
constexpr std::array<std::pair<char16_t, std::uint8_t>, 5> otherPositionMasks = {{
    {u'\u03B3', positionMask(u'\u03B3')},
    {u'\u03B5', positionMask(u'\u03B5')},
    {u'\u03BC', positionMask(u'\u03BC')},
    {u'\u03C5', positionMask(u'\u03C5')},
    {u'\u0454', positionMask(u'\u0454')},
}};

static_assert(
    [] {
        for (const LookalikeEntry &entry : lookalikeSubstitutions) {
            for (char16_t c : entry.alternatives) {
                bool covered = c < 256;
                for (const auto &[other, mask] : otherPositionMasks)
                    covered = covered || other == c;
                if (!covered)
                    return false;
            }
        }
        return true;
    }(),
    "every look-alike character needs a position mask");

std::uint8_t positionMaskOf(char16_t c)
{
    if (c < 256)
        return latin1PositionMasks[c];
    for (const auto &[other, mask] : otherPositionMasks) {
        if (other == c)
            return mask;
    }
    return 0;
}

// One pass over the text (shift-and): bit k of `state` says that the last
// k + 1 characters can spell the first k + 1 letters of the target word.
bool holdsLookalike(QStringView canonicalLower)
{
    constexpr std::uint8_t complete = std::uint8_t(1u << (lookalikeLength - 1));
    std::uint8_t state = 0;
    for (QChar c : canonicalLower) {
        state = std::uint8_t(((state << 1) | 1u) & positionMaskOf(c.unicode()));
        if (state & complete)
            return true;
    }
    return false;
}

} // namespace

QString cluelyBase64Form()
{
    static const QString form = QString::fromLatin1(
        QString::fromUtf16(cluelyTargetWord.data(), cluelyTargetWord.size()).toUtf8().toBase64());
    return form;
}

QString cluelyHexForm()
{
    static const QString form = QString::fromLatin1(
        QString::fromUtf16(cluelyTargetWord.data(), cluelyTargetWord.size()).toUtf8().toHex());
    return form;
}

bool containsLookalikeForm(const QString &lower)
{
    return holdsLookalike(canonicalForm(lower));
}

bool isSuspiciousName(const QString &name)
{
    const QString lower = canonicalForm(lowercased(name));
    for (std::u16string_view pattern : cluelyNamePatterns) {
        if (lower.contains(QStringView(pattern.data(), pattern.size())))
            return true;
    }
    if (holdsLookalike(lower))
        return true;
    if (canonicalForm(name).contains(cluelyBase64Form()))
        return true;
    return lower.contains(cluelyHexForm());
}
