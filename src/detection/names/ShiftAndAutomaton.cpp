// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/names/ShiftAndAutomaton.h"

#include <QtGlobal>

#include <algorithm>

std::uint64_t ShiftAndAutomaton::addRow(const QList<QString> &classes)
{
    if (classes.isEmpty() || m_width + classes.size() > 64)
        qFatal("ShiftAndAutomaton: a row of %lld positions does not fit",
               qlonglong(classes.size()));
    for (qsizetype k = 0; k < classes.size(); ++k) {
        const std::uint64_t bit = std::uint64_t(1) << (m_width + k);
        for (QChar c : classes[k]) {
            if (c.unicode() < 128) {
                m_asciiMasks[c.unicode()] |= bit;
                continue;
            }
            auto other = std::find_if(m_otherMasks.begin(), m_otherMasks.end(),
                                      [c](const auto &entry) { return entry.first == c; });
            if (other == m_otherMasks.end())
                other = m_otherMasks.insert(m_otherMasks.end(), {c.unicode(), 0});
            other->second |= bit;
        }
    }
    m_starts |= std::uint64_t(1) << m_width;
    m_width += int(classes.size());
    return std::uint64_t(1) << (m_width - 1);
}

std::uint64_t ShiftAndAutomaton::otherMask(char16_t c) const
{
    for (const auto &[other, mask] : m_otherMasks) {
        if (other == c)
            return mask;
    }
    return 0;
}

bool ShiftAndAutomaton::holds(QStringView text, std::uint64_t ends) const
{
    std::uint64_t state = 0;
    for (QChar c : text) {
        state = next(state, mask(c.unicode()));
        if (state & ends)
            return true;
    }
    return false;
}
