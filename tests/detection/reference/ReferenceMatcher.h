// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The name matcher written literally: every one of the 8,000 look-alike
// spellings is built and searched for in turn. Far too slow for real use; it
// is the yardstick the real matcher is compared against.

// The look-alike spellings of the target word, in table order.
QStringList referenceLookalikeCandidates();

// The look-alike test over spellings built once by a caller that tests many names.
bool referenceContainsLookalikeForm(const QString &lower, const QStringList &candidates);

// The steps around the look-alike test: the written forms in the lowercased
// name, then the Base64 form in the name and the hexadecimal form in the
// lowercased name.
bool referenceHoldsWrittenOrEncodedForm(const QString &name);

// The whole matcher as written first, building the spellings afresh on every
// call.
bool referenceIsSuspiciousName(const QString &name);

// What reading names as people do adds: the skeletons of every written form
// and look-alike spelling searched for in the name's skeletons, and in the
// skeletons of the texts decoded from each Base64 run (from each of its first
// four characters) and each hexadecimal run (from each of its first two
// digits), bytes outside ASCII read as U+FFFD.
bool referenceReadsAsForm(const QString &name);
