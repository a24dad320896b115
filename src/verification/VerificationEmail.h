// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "email/EmailSender.h"

#include <QString>

// The e-mail that carries a verification code to the interviewer.
namespace VerificationEmail {

QString subject();
EmailBody body(const QString &code);

} // namespace VerificationEmail
