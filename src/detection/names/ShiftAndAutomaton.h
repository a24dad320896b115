// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <utility>

// Patterns with a class of characters at each position, searched for all at
// once in one pass (shift-and): bit k of the state is set when the text read
// so far ends with the first positions of a row, up to position k. At most
// 64 positions in all.
class ShiftAndAutomaton
{
public:
    // Appends a row whose position k admits the characters of classes[k];
    // returns the bit of its last position.
    std::uint64_t addRow(const QList<QString> &classes);

    std::uint64_t asciiMask(char16_t c) const { return m_asciiMasks[c]; }
    std::uint64_t mask(char16_t c) const { return c < 128 ? m_asciiMasks[c] : otherMask(c); }
    std::uint64_t next(std::uint64_t state, std::uint64_t mask) const
    {
        return ((state << 1) | m_starts) & mask;
    }

    // Whether `text` holds a row whose last position is among `ends`.
    bool holds(QStringView text, std::uint64_t ends) const;

private:
    std::uint64_t otherMask(char16_t c) const;

    std::array<std::uint64_t, 128> m_asciiMasks{};
    QList<std::pair<char16_t, std::uint64_t>> m_otherMasks; // a handful, searched in turn
    std::uint64_t m_starts = 0;
    int m_width = 0;
};
