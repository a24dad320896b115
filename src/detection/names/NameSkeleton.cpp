// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/names/NameSkeleton.h"

#include <QHash>
#include <QList>
#include <QtGlobal>

#include <unicode/normalizer2.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>

#include <algorithm>
#include <array>

// With combining marks removed first, no normalisation step joins or reorders
// two characters' skeletons (Hangul jamo that NFKC composes are taken apart
// again by the skeleton's NFD), so a name's skeleton is its characters'
// skeletons in turn. ICU takes about 0.3 µs a character, so each thread
// remembers the skeletons of the characters it has met: a name repeats few
// characters, and names share them.

namespace {

// Characters whose skeleton is empty: combining marks and default-ignorables.
constexpr char16_t removedPattern[] = u"[[:M:][:Default_Ignorable_Code_Point:]]";
// Separates the characters of a batch: NUL is its own skeleton and joins
// nothing.
constexpr QChar separator(0);
// Characters each thread remembers at most (about 8 MiB if full).
constexpr qsizetype maxKnownCharacters = 1 << 16;

class SkeletonTools
{
public:
    SkeletonTools()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_removed.applyPattern(icu::UnicodeString(removedPattern), status);
        m_removed.freeze();
        m_nfkcCaseFolding = icu::Normalizer2::getNFKCCasefoldInstance(status);
        m_spoofChecker = uspoof_open(&status);
        if (U_FAILURE(status))
            qFatal("ICU could not load its Unicode data: %s", u_errorName(status));
        for (char16_t c = 0; c < 128; ++c)
            m_asciiSkeletons[c] = skeletonsOf(QString(QChar(c)));
    }
    ~SkeletonTools() { uspoof_close(m_spoofChecker); }
    SkeletonTools(const SkeletonTools &) = delete;
    SkeletonTools &operator=(const SkeletonTools &) = delete;

    const Skeletons &asciiSkeletons(char16_t c) const { return m_asciiSkeletons[c]; }

    // Both skeletons of `text`. As shown: the prototypes, then NFKC case
    // folding and the prototypes again, as a prototype may be a capital and
    // some letters are mapped only in their usual form (full-width "ｕ" gives
    // "u"). Folded: NFKC case folding and the prototypes, twice. The skeleton
    // is in NFD, so its marks come off one by one.
    Skeletons skeletonsOf(const QString &text) const
    {
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString visible = withoutRemoved(icu::UnicodeString(
            reinterpret_cast<const char16_t *>(text.constData()), int32_t(text.size())));
        const icu::UnicodeString folded = foldedSkeleton(foldedSkeleton(visible, status), status);
        const icu::UnicodeString shown = foldedSkeleton(skeletonOf(visible, status), status);
        if (U_FAILURE(status)) // out of memory: no skeleton, so no match through it
            return {};
        return {qString(withoutRemoved(folded)), qString(withoutRemoved(shown))};
    }

private:
    static QString qString(const icu::UnicodeString &text)
    {
        return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
    }

    icu::UnicodeString withoutRemoved(const icu::UnicodeString &text) const
    {
        const char16_t *characters = text.getBuffer();
        const int32_t length = text.length();
        icu::UnicodeString kept;
        for (int32_t start = 0; start < length;) {
            const int32_t keptEnd =
                start + m_removed.span(characters + start, length - start, USET_SPAN_NOT_CONTAINED);
            kept.append(characters + start, keptEnd - start);
            start = keptEnd +
                    m_removed.span(characters + keptEnd, length - keptEnd, USET_SPAN_CONTAINED);
        }
        return kept;
    }

    icu::UnicodeString skeletonOf(const icu::UnicodeString &text, UErrorCode &status) const
    {
        icu::UnicodeString skeleton;
        uspoof_getSkeletonUnicodeString(m_spoofChecker, 0, text, skeleton, &status);
        return skeleton;
    }

    icu::UnicodeString foldedSkeleton(const icu::UnicodeString &text, UErrorCode &status) const
    {
        return skeletonOf(m_nfkcCaseFolding->normalize(text, status), status);
    }

    icu::UnicodeSet m_removed;
    const icu::Normalizer2 *m_nfkcCaseFolding = nullptr;
    USpoofChecker *m_spoofChecker = nullptr;
    std::array<Skeletons, 128> m_asciiSkeletons;
};

const SkeletonTools &tools()
{
    static const SkeletonTools skeletonTools;
    return skeletonTools;
}

// The code points of `text`; a lone surrogate stands for itself.
template <typename Visit> void forEachCodePoint(QStringView text, Visit visit)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            visit(QChar::surrogateToUcs4(c, text[++i]));
        else
            visit(char32_t(c.unicode()));
    }
}

// Takes the skeletons of the characters of `unknown` in one pass of ICU, each
// followed by the separator, and remembers them.
void learn(const QList<char32_t> &unknown, QHash<char32_t, Skeletons> &known)
{
    QString batch;
    for (char32_t codePoint : unknown) {
        batch.append(QStringView(QChar::fromUcs4(codePoint)));
        batch.append(separator);
    }
    const Skeletons skeletons = tools().skeletonsOf(batch);
    const QStringList folded = skeletons.folded.split(separator);
    const QStringList shown = skeletons.shown.split(separator);
    for (qsizetype i = 0; i < unknown.size(); ++i)
        known[unknown[i]] = {folded.value(i), shown.value(i)};
}

} // namespace

void forEachCharacterSkeletons(const QString &name,
                               const std::function<void(const Skeletons &)> &visit)
{
    thread_local QHash<char32_t, Skeletons> known;
    if (known.size() > maxKnownCharacters)
        known.clear();
    QList<char32_t> unknown;
    forEachCodePoint(name, [&](char32_t codePoint) {
        if (codePoint >= 128 && !known.contains(codePoint)) {
            known.insert(codePoint, {});
            unknown.append(codePoint);
        }
    });
    if (!unknown.isEmpty())
        learn(unknown, known);
    forEachCodePoint(name, [&](char32_t codePoint) {
        visit(codePoint < 128 ? tools().asciiSkeletons(char16_t(codePoint))
                              : *known.constFind(codePoint));
    });
}

Skeletons nameSkeletons(const QString &name)
{
    Skeletons skeletons;
    // Most names are ASCII: their characters' skeletons come from a table.
    if (std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 128; })) {
        skeletons.folded.reserve(name.size());
        skeletons.shown.reserve(name.size());
        for (QChar c : name) {
            const Skeletons &character = tools().asciiSkeletons(c.unicode());
            skeletons.folded.append(character.folded);
            skeletons.shown.append(character.shown);
        }
        return skeletons;
    }
    forEachCharacterSkeletons(name, [&skeletons](const Skeletons &character) {
        skeletons.folded.append(character.folded);
        skeletons.shown.append(character.shown);
    });
    return skeletons;
}

QString nameSkeleton(const QString &name)
{
    return nameSkeletons(name).folded;
}
