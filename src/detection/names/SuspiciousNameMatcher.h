// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether `name` (an application's display name or a process name, in any
// case) belongs to the target tool: one of the written forms or a look-alike,
// as the name is written or as people read it (its skeleton, see
// NameSkeleton.h), or such a form in Base64 or hexadecimal text inside the
// name. Pure and thread-safe; any input is handled in time and memory linear
// in its length.
bool isSuspiciousName(const QString &name);
