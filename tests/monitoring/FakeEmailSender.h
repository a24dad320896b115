// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "email/EmailSender.h"

#include <QList>

#include <functional>

// Records every send and keeps its completion, so a test decides when, how and
// on which thread each send finishes.
class FakeEmailSender : public EmailSender
{
public:
    struct Sent
    {
        QString to, subject, html;
        std::optional<QString> text;
        EmailCompletion completion;
        Retry retry;
    };

    void sendEmail(const QString &to, const QString &subject, const QString &html,
                   const std::optional<QString> &text, EmailCompletion completion,
                   Retry retry = Retry::Never) override
    {
        sent.append({to, subject, html, text, completion, retry});
        if (onSend)
            onSend(completion);
    }

    QList<Sent> sent;
    // Runs inside sendEmail when set, as a service that fails early would.
    std::function<void(const EmailCompletion &)> onSend;
};
