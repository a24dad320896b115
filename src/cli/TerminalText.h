// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// `text` safe to print on a terminal: C0 and C1 control characters and DEL
// as "\xHH", and the characters that reorder text (bidirectional marks,
// embeddings, overrides and isolates) as "\u{HHHH}", so that a name cannot
// move the cursor, erase a line or make itself read as another.
QString terminalText(const QString &text);
