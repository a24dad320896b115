// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The rules every process-table reader applies to its raw entries (paths or
// bare command names), so that all readers yield names alike.

// The pieces of a process tool's output, split at every newline character
// (line feed, carriage return, vertical tab, form feed, U+0085, U+2028, U+2029).
QStringList splitProcessTableLines(const QString &text);

// `entry` trimmed of tabs and Unicode space separators at both ends, then
// reduced to its last path component ("/" stays "/"). Empty when nothing is left.
QString processNameFromEntry(QStringView entry);

// The names of `entries` with the empty ones dropped and canonically
// equivalent ones collapsed into the first of them.
QStringList distinctProcessNames(const QStringList &entries);

// A process name is shown cut to this many UTF-16 code units, as long as any
// file name (255 bytes); it is matched whole.
inline constexpr qsizetype maxNameLength = 255;
