// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/names/SuspiciousNameMatcher.h"

#include "detection/names/EncodedRuns.h"
#include "detection/names/NameSkeleton.h"
#include "detection/names/ShiftAndAutomaton.h"
#include "detection/names/SuspiciousNamePatterns.h"

#include <algorithm>
#include <bitset>

// Every search is one pass of a shift-and automaton over the forms' rows,
// each position a class of characters: the skeletons of the characters the
// tables list there (both readings, see NameSkeleton.h).
// - A name of ASCII characters alone is read character by character, each
//   position admitting the characters whose skeleton it admits; a row is
//   built for either reading (once when one admits all the other does).
// - Any other name is read through both its skeletons.
// - Base64 and hexadecimal runs are decoded and the decoded bytes read as an
//   ASCII name (a byte outside ASCII ends a match). Reading an ASCII name,
//   the automaton also looks for the first three bytes of a form as a run
//   could encode them, so that only the rare name that may hold one is
//   decoded.

namespace {

using Row = QList<QString>;

QStringView view(std::u16string_view text)
{
    return QStringView(text.data(), qsizetype(text.size()));
}

// The look-alike row, then each written form it does not already find.
QList<Row> formRows()
{
    Row lookalike;
    for (char16_t letter : cluelyTargetWord)
        lookalike.append(view(lookalikeAlternatives(letter)).toString());
    ShiftAndAutomaton lookalikeAlone;
    const std::uint64_t lookalikeEnd = lookalikeAlone.addRow(lookalike);
    QList<Row> rows{lookalike};
    for (std::u16string_view pattern : cluelyNamePatterns) {
        if (lookalikeAlone.holds(view(pattern), lookalikeEnd))
            continue;
        Row row;
        for (QChar c : view(pattern))
            row.append(QString(c));
        rows.append(row);
    }
    return rows;
}

// The skeletons of `characters`, both readings. Only a character whose
// skeleton is one character can stand at one position; all of the tables'
// characters do.
QString skeletonClass(const QString &characters)
{
    QString skeletons;
    for (QChar c : characters) {
        const Skeletons read = nameSkeletons(c);
        for (const QString &skeleton : {read.folded, read.shown}) {
            if (skeleton.size() == 1 && !skeletons.contains(skeleton))
                skeletons.append(skeleton);
        }
    }
    return skeletons;
}

// The ASCII characters whose skeleton, folded or shown, is one of `skeletons`.
QString asciiReadAs(const QString &skeletons, QString Skeletons::*reading)
{
    QString admitted;
    for (char16_t c = 0; c < 128; ++c) {
        if (const QString skeleton = nameSkeletons(QChar(c)).*reading;
            skeleton.size() == 1 && skeletons.contains(skeleton))
            admitted.append(QChar(c));
    }
    return admitted;
}

bool admitsAll(const Row &row, const Row &other)
{
    for (qsizetype k = 0; k < row.size(); ++k) {
        for (QChar c : other[k]) {
            if (!row[k].contains(c))
                return false;
        }
    }
    return true;
}

// A row of skeletons as ASCII rows: one per reading, or one for both.
QList<Row> asciiRows(const Row &skeletons)
{
    Row folded;
    Row shown;
    for (const QString &position : skeletons) {
        folded.append(asciiReadAs(position, &Skeletons::folded));
        shown.append(asciiReadAs(position, &Skeletons::shown));
    }
    if (admitsAll(shown, folded))
        return {shown};
    if (admitsAll(folded, shown))
        return {folded};
    return {folded, shown};
}

// For each of the first three positions of the forms, the bytes that may
// stand there.
using LeadingBytes = std::array<std::bitset<128>, 3>;

// Whether the Base64 digit `value`, whose first bit is bit `digitStart` of a
// run that holds leading bytes from bit `offset`, agrees with some byte of
// each position it overlaps.
bool digitFits(int value, int digitStart, int offset, const LeadingBytes &leading)
{
    for (int position = 0; position < 3; ++position) {
        const int byteStart = offset + 8 * position;
        const int from = std::max(digitStart, byteStart);
        const int to = std::min(digitStart + 6, byteStart + 8);
        if (from >= to)
            continue;
        bool fits = false;
        for (int byte = 0; byte < 128 && !fits; ++byte) {
            if (!leading[position][byte])
                continue;
            fits = true;
            for (int bit = from; bit < to; ++bit) {
                fits = fits && ((value >> (5 - (bit - digitStart))) & 1) ==
                                   ((byte >> (7 - (bit - byteStart))) & 1);
            }
        }
        if (!fits)
            return false;
    }
    return true;
}

// The Base64 digits of a run that holds the leading bytes from bit `offset`
// (0, 2 or 4) of its first digit, one class per digit.
Row base64Window(const LeadingBytes &leading, int offset)
{
    Row classes;
    for (int digitStart = 0; digitStart < offset + 24; digitStart += 6) {
        QString admitted;
        for (char16_t c = 0; c < 128; ++c) {
            const int value = EncodedRunDecoder::base64Value(c);
            if (value >= 0 && digitFits(value, digitStart, offset, leading))
                admitted.append(QChar(c));
        }
        classes.append(admitted);
    }
    return classes;
}

// The hexadecimal digits of a run that holds the leading bytes.
Row hexWindow(const LeadingBytes &leading)
{
    Row classes;
    for (int digit = 0; digit < 6; ++digit) {
        QString admitted;
        for (char16_t c = 0; c < 128; ++c) {
            const int value = EncodedRunDecoder::hexValue(c);
            for (int byte = 0; byte < 128 && value >= 0; ++byte) {
                if (leading[digit / 2][byte] && value == (digit % 2 ? byte & 0xF : byte >> 4)) {
                    admitted.append(QChar(c));
                    break;
                }
            }
        }
        classes.append(admitted);
    }
    return classes;
}

struct MatcherTables
{
    // Over ASCII names and decoded bytes: the forms, and the Base64 and
    // hexadecimal text of their first three bytes.
    ShiftAndAutomaton ascii;
    std::uint64_t formEnds = 0;
    std::uint64_t encodedEnds = 0;
    // Over skeletons.
    ShiftAndAutomaton skeleton;
    std::uint64_t skeletonEnds = 0;

    MatcherTables()
    {
        LeadingBytes leading;
        for (const Row &row : formRows()) {
            Row skeletons;
            for (const QString &written : row)
                skeletons.append(skeletonClass(written));
            skeletonEnds |= skeleton.addRow(skeletons);
            for (const Row &asciiRow : asciiRows(skeletons)) {
                for (int position = 0; position < 3; ++position) {
                    for (QChar c : asciiRow[position])
                        leading[position].set(c.unicode());
                }
                formEnds |= ascii.addRow(asciiRow);
            }
        }
        for (int offset : {0, 2, 4})
            encodedEnds |= ascii.addRow(base64Window(leading, offset));
        encodedEnds |= ascii.addRow(hexWindow(leading));
    }
};

const MatcherTables &tables()
{
    static const MatcherTables matcherTables;
    return matcherTables;
}

// Reads each decoded stream with the ASCII rows.
struct DecodedBytesReader
{
    const ShiftAndAutomaton &ascii;
    std::array<std::uint64_t, EncodedRunDecoder::base64Streams + EncodedRunDecoder::hexStreams>
        states{};
    std::uint64_t seen = 0;

    void decoded(int stream, std::uint8_t byte)
    {
        states[stream] = ascii.next(states[stream], byte < 128 ? ascii.asciiMask(byte) : 0);
        seen |= states[stream];
    }
    void runEnded(int firstStream, int count)
    {
        std::fill_n(states.begin() + firstStream, count, 0);
    }
};

bool holdsEncodedForm(QStringView name, const MatcherTables &tables)
{
    EncodedRunDecoder decoder;
    DecodedBytesReader reader{tables.ascii};
    for (QChar c : name) {
        decoder.read(c.unicode(), reader);
        if (reader.seen & tables.formEnds)
            return true;
    }
    return false;
}

// Both skeletons of the name, read side by side.
bool readsAsForm(const QString &name, const MatcherTables &tables)
{
    const ShiftAndAutomaton &automaton = tables.skeleton;
    std::uint64_t folded = 0;
    std::uint64_t shown = 0;
    std::uint64_t seen = 0;
    forEachCharacterSkeletons(name, [&](const Skeletons &character) {
        for (QChar c : character.folded) {
            folded = automaton.next(folded, automaton.mask(c.unicode()));
            seen |= folded;
        }
        for (QChar c : character.shown) {
            shown = automaton.next(shown, automaton.mask(c.unicode()));
            seen |= shown;
        }
    });
    return seen & tables.skeletonEnds;
}

} // namespace

bool isSuspiciousName(const QString &name)
{
    const MatcherTables &t = tables();
    std::uint64_t state = 0;
    std::uint64_t seen = 0;
    for (QChar qc : name) {
        const char16_t c = qc.unicode();
        if (c >= 128) {
            return holdsEncodedForm(name, t) || readsAsForm(name, t);
        }
        state = t.ascii.next(state, t.ascii.asciiMask(c));
        seen |= state;
    }
    return (seen & t.formEnds) || ((seen & t.encodedEnds) && holdsEncodedForm(name, t));
}
