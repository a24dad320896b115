#pragma once

#include "EmailSender.h"

#include <memory>

// Records what one send's completion received, how often it ran, and whether
// it ran inside the sendEmail call itself.
struct SendRecord
{
    int calls = 0;
    bool success = false;
    std::optional<EmailError> error;
    bool ranInsideSend = false;
};

inline std::shared_ptr<SendRecord> send(EmailSender &sender, const QString &to,
                                        const QString &subject, const QString &html = {},
                                        const std::optional<QString> &text = std::nullopt)
{
    auto record = std::make_shared<SendRecord>();
    auto inside = std::make_shared<bool>(true);
    sender.sendEmail(to, subject, html, text,
                     [record, inside](bool success, std::optional<EmailError> error) {
                         ++record->calls;
                         record->success = success;
                         record->error = std::move(error);
                         record->ranInsideSend = *inside;
                     });
    *inside = false;
    return record;
}
