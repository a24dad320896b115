// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether `value` is an address as the e-mail provider takes one: a bare
// address (name@example.com) or a display name followed by the address in
// angle brackets (Name <name@example.com>).
bool isEmailAddress(const QString &value);

// The address itself, without a display name and its brackets.
QString bareEmailAddress(const QString &value);
