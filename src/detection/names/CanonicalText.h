// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Unicode canonical equivalence: a precomposed letter and the same letter
// followed by its combining mark are the same text.

// The NFC form of `text`, in time linear in its length.
QString canonicalForm(const QString &text);
