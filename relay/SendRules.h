// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RelayError.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// An e-mail a session may send, and what it means for the session.
struct AllowedEmail
{
    QString subject;
    QString html;
    QString text;
    QString kind;                   // its timeline event: verification, started, stopped, findings
    std::optional<bool> monitoring; // set by a start or stop notice
};

// What keeps the relay from being an open relay: a session sends only
// Nimbrel's own e-mails (by subject), only to its interviewer, with nothing
// but from/to/subject/html/text (no cc, bcc, reply_to, headers or
// attachments). `from` is accepted and ignored: the relay sends as itself.
std::variant<AllowedEmail, RelayError> checkSend(const QByteArray &body,
                                                 const QString &interviewer);

// "jane@example.com" as "j•••@example.com": enough for the candidate to see
// which interviewer a session reports to, not enough to learn the address.
QString maskedAddress(const QString &address);
