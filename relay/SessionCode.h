// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <variant>

// The code an interviewer reads out to the candidate: eight random characters
// of Crockford's base 32 (no I, L, O or U, so nothing reads as another) and a
// Luhn mod 32 check character, which catches any one mistyped character and
// any swap of two neighbours. Shown as "K7QM-2XRD-P".
namespace SessionCode {

enum class Problem { Malformed, CheckFails };

// A new random code, in its canonical form (nine characters, no dashes).
QString generate();

// The canonical form of what someone typed: case and dashes or blanks do not
// matter, O reads as 0 and I and L as 1.
std::variant<QString, Problem> parse(const QString &typed);

// "K7QM2XRDP" as "K7QM-2XRD-P".
QString display(const QString &canonical);

} // namespace SessionCode
