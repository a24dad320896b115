// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Bearer tokens and how they are kept: 128 random bits shown as 32 hex
// digits, stored only as their BLAKE2b hash, so a copy of the database sends
// nothing.
namespace Secrets {

bool initialise(); // libsodium's; false when the system has no usable randomness

QByteArray newToken();
QByteArray hashOf(const QByteArray &secret); // 64 hex digits

// Interviewers' passwords: Argon2id (libsodium's interactive limits, 64 MiB
// and a few tenths of a second), in its self-describing string form.
QByteArray hashPassword(const QByteArray &password);
bool passwordMatches(const QByteArray &hash, const QByteArray &password);

} // namespace Secrets
