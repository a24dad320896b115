// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The name matcher written literally over UTF-8 bytes: the name's ASCII
// letters lowercased in place, then std::string::find for each of the written
// forms, the 8,000 look-alike spellings and the two encoded forms. Only a
// yardstick for the benchmark: it lowercases ASCII alone, so it is not exact
// for other scripts.

// As the algorithm is written: the spellings are built afresh on every call.
bool byteLiteralIsSuspiciousName(const QString &name);

// The same search over spellings built once, which leaves only the searches.
bool byteLiteralPrebuiltIsSuspiciousName(const QString &name);
