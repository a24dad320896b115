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

// The ASCII fast path: for a name of ASCII characters alone, lowercasing is
// ASCII's and normalisation changes nothing, so every test above becomes one
// class-per-position pattern over the raw characters. All of them run side by
// side in one 64-bit shift-and state: the look-alike form, the written forms
// it does not already cover, and the two encoded forms.

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// Whether the look-alike test alone finds `text`, an ASCII text in lower case.
constexpr bool holdsAsciiLookalike(std::u16string_view text)
{
    std::uint8_t state = 0;
    for (char16_t c : text) {
        state = std::uint8_t(((state << 1) | 1u) & latin1PositionMasks[c]);
        if (state & (1u << (lookalikeLength - 1)))
            return true;
    }
    return false;
}

constexpr std::u16string_view asciiBase64Form = u"Y2x1ZWx5";
constexpr std::u16string_view asciiHexForm = u"636c75656c79";

struct AsciiAutomaton
{
    std::array<std::uint64_t, 128> masks{};
    std::uint64_t starts = 0;
    std::uint64_t ends = 0;
    int width = 0;

    // Appends a pattern whose position k admits the characters `admits(c, k)`.
    template <typename Admits> constexpr void add(qsizetype length, Admits admits)
    {
        for (qsizetype k = 0; k < length; ++k) {
            for (char16_t c = 0; c < 128; ++c) {
                if (admits(c, k))
                    masks[c] |= std::uint64_t(1) << (width + k);
            }
        }
        starts |= std::uint64_t(1) << width;
        ends |= std::uint64_t(1) << (width + length - 1);
        width += int(length);
    }
};

constexpr AsciiAutomaton asciiAutomaton = [] {
    AsciiAutomaton automaton;
    automaton.add(lookalikeLength, [](char16_t c, qsizetype k) {
        return (latin1PositionMasks[asciiLower(c)] >> k) & 1u;
    });
    for (std::u16string_view pattern : cluelyNamePatterns) {
        if (holdsAsciiLookalike(pattern))
            continue; // the look-alike form already finds every name holding it
        automaton.add(pattern.size(),
                      [pattern](char16_t c, qsizetype k) { return asciiLower(c) == pattern[k]; });
    }
    automaton.add(asciiHexForm.size(),
                  [](char16_t c, qsizetype k) { return asciiLower(c) == asciiHexForm[k]; });
    automaton.add(asciiBase64Form.size(),
                  [](char16_t c, qsizetype k) { return c == asciiBase64Form[k]; });
    return automaton;
}();
static_assert(asciiAutomaton.width <= 64, "the patterns must fit one 64-bit state");

static_assert(
    [] {
        for (std::u16string_view pattern : cluelyNamePatterns) {
            for (char16_t c : pattern) {
                if (c >= 128 || asciiLower(c) != c)
                    return false;
            }
        }
        return true;
    }(),
    "the written forms are lower-case ASCII");

enum class AsciiAnswer { Suspicious, Clean, NotAscii };

AsciiAnswer asciiAnswer(QStringView name)
{
    std::uint64_t state = 0;
    bool found = false;
    for (QChar qc : name) {
        const char16_t c = qc.unicode();
        if (c >= 128)
            return AsciiAnswer::NotAscii;
        state = ((state << 1) | asciiAutomaton.starts) & asciiAutomaton.masks[c];
        found = found || (state & asciiAutomaton.ends);
    }
    return found ? AsciiAnswer::Suspicious : AsciiAnswer::Clean;
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
    if (const AsciiAnswer answer = asciiAnswer(name); answer != AsciiAnswer::NotAscii)
        return answer == AsciiAnswer::Suspicious;
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
