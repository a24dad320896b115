// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

// Whether every string of a binary property list ("bplist00") is free of NUL.
// libplist cuts an ASCII string at its first NUL without a word, so "ab\0cd"
// would read as "ab"; this looks at the strings as stored. False as well when
// the list's trailer or offset table cannot be read.
bool binaryPlistStringsFreeOfNul(QByteArrayView bytes);
