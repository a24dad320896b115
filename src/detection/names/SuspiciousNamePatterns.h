// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string_view>

// The fixed forms under which the target tool's name is recognised.

// The word every form is derived from.
inline constexpr std::u16string_view cluelyTargetWord = u"cluely";

// Written forms, searched for in the lowercased name and in its skeleton.
inline constexpr std::array<std::u16string_view, 21> cluelyNamePatterns = {
    u"cluely",           u"cluely.com",    u"cluelly",     u"clueli",       u"cluly",
    u"c1uely",           u"cluely",        u"clue1y",      u"cluely-",      u"cluely_",
    u"cluelyapp",        u"cluelyhelper",  u"cluelyagent", u"cluelydaemon", u"cluelyservice",
    u"cluelybackground", u"cluelysupport", u"com.cluely",  u"io.cluely",    u"org.cluely",
    u"yleulc",
};

// Characters that may stand in for one letter of the target word, the letter
// itself first. Every alternative is a single UTF-16 code unit in NFC.
struct LookalikeEntry
{
    char16_t letter;
    std::u16string_view alternatives;
};

inline constexpr std::array<LookalikeEntry, 5> lookalikeSubstitutions = {{
    {u'c', u"c({[<"},
    {u'l', u"l1i|I"},
    {u'u', u"uv\u03BC\u03C5"},
    {u'e', u"e3\u03B5\u0454"},
    {u'y', u"y\u03B3\u00FF\u00FD"},
}};

constexpr std::u16string_view lookalikeAlternatives(char16_t letter)
{
    for (const LookalikeEntry &entry : lookalikeSubstitutions) {
        if (entry.letter == letter)
            return entry.alternatives;
    }
    return {};
}
