// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ByteLiteralMatcher.h"

#include "detection/names/SuspiciousNamePatterns.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string utf8(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), text.size()).toStdString();
}

const std::vector<std::string> &writtenForms()
{
    static const std::vector<std::string> forms = [] {
        std::vector<std::string> built;
        for (std::u16string_view pattern : cluelyNamePatterns)
            built.push_back(utf8(pattern));
        return built;
    }();
    return forms;
}

// Each letter's alternatives as UTF-8 strings, in table order.
const std::vector<std::vector<std::string>> &alternativesByPosition()
{
    static const std::vector<std::vector<std::string>> table = [] {
        std::vector<std::vector<std::string>> built;
        for (char16_t letter : cluelyTargetWord) {
            std::vector<std::string> alternatives;
            for (char16_t alternative : lookalikeAlternatives(letter))
                alternatives.push_back(utf8(std::u16string_view(&alternative, 1)));
            built.push_back(alternatives);
        }
        return built;
    }();
    return table;
}

std::vector<std::string> lookalikeSpellings()
{
    std::vector<std::string> spellings{std::string()};
    for (const std::vector<std::string> &alternatives : alternativesByPosition()) {
        std::vector<std::string> longer;
        longer.reserve(spellings.size() * alternatives.size());
        for (const std::string &prefix : spellings) {
            for (const std::string &alternative : alternatives)
                longer.push_back(prefix + alternative);
        }
        spellings = std::move(longer);
    }
    return spellings;
}

bool holdsAnyForm(const QString &name, const std::vector<std::string> &spellings)
{
    const std::string original = name.toStdString();
    std::string lower = original;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const auto holds = [&lower](const std::string &pattern) {
        return lower.find(pattern) != std::string::npos;
    };
    return std::any_of(writtenForms().begin(), writtenForms().end(), holds) ||
           std::any_of(spellings.begin(), spellings.end(), holds) ||
           original.find("Y2x1ZWx5") != std::string::npos || holds("636c75656c79");
}

} // namespace

bool byteLiteralIsSuspiciousName(const QString &name)
{
    return holdsAnyForm(name, lookalikeSpellings());
}

bool byteLiteralPrebuiltIsSuspiciousName(const QString &name)
{
    static const std::vector<std::string> spellings = lookalikeSpellings();
    return holdsAnyForm(name, spellings);
}
