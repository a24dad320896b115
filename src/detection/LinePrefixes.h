// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>

// How each kind of detection line begins. The screen reader's wording of the
// lines (SpokenText) reads them too.
namespace LinePrefix {
inline constexpr QStringView alarm = u"🚨 CLUELY DETECTED - ";
inline constexpr QStringView possible = u"⚠️ POSSIBLE CLUELY - ";
inline constexpr QStringView overlay = u"⚠️ OVERLAY WINDOW - ";
inline constexpr QStringView limited = u"⚠️ SCAN LIMITED - ";
} // namespace LinePrefix
