// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// A name as people read it: combining marks and invisible characters
// (default-ignorables, among them every bidirectional control) removed, then
// NFKC case folding and each character mapped to the prototype it is
// confusable with (the skeleton of Unicode's security mechanisms, UTS #39),
// twice, as a prototype may be a capital. "сluеlу" in Cyrillic, "c̲l̲u̲e̲l̲y̲"
// and "ＣＬＵＥＬＹ" give "cluely"; "yleulc" behind a right-to-left override
// gives "yleulc". Compare skeletons only with skeletons: "m" gives "rn". Each
// character is read on its own, so a name's skeleton is its characters'
// skeletons in turn. Pure and thread-safe; time and memory linear in the
// name's length.
QString nameSkeleton(const QString &name);

// The skeleton above and the same with the prototypes taken before case
// folding, as the eye reads capitals and symbols: Greek "ϹLUELΥ" gives
// "cluely" shown, "oluelu" folded (folded first, lunate sigma is σ and capital
// upsilon is υ).
struct Skeletons
{
    QString folded;
    QString shown;
};
Skeletons nameSkeletons(const QString &name);

// Calls `visit` with the skeletons of each character of `name` in turn: what
// nameSkeletons() joins, for a reader that needs no whole skeleton.
void forEachCharacterSkeletons(const QString &name,
                               const std::function<void(const Skeletons &)> &visit);
