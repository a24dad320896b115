#pragma once

#include <QString>

// Whether `name` (an application's display name or a process name, in any
// case) belongs to the target tool: one of the written forms, a look-alike,
// or the Base64 or hexadecimal form of its name. Pure and thread-safe; any
// input is handled in time and memory linear in its length.
bool isSuspiciousName(const QString &name);

// Whether the already lowercased `lower` holds six consecutive characters
// that spell the target word with look-alike characters.
bool containsLookalikeForm(const QString &lower);
