// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The six-digit codes that prove an interviewer's address is reachable.
namespace VerificationCode {

inline constexpr quint32 lowest = 100000;
inline constexpr quint32 span = 900000; // codes 100000..999999: never a leading zero

// Maps uniformly random 32-bit words to a code, uniformly. Words from the top
// partial block of 2^32 are rejected so no code is more likely than another.
quint32 fromWords(const std::function<quint32()> &nextWord);

// A fresh code from the system's cryptographically secure source, as plain digits.
QString generate();

} // namespace VerificationCode
