// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Unicode canonical equivalence: a precomposed letter and the same letter
// followed by its combining mark are the same text.

// The NFC form of `text`, in time linear in its length. A text longer than a
// few hundred characters is normalised in pieces; it may then differ from the
// exact NFC form only where it runs for over a hundred characters without a
// character below U+0300, which no real name does.
QString canonicalForm(const QString &text);
