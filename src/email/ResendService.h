// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EmailSender.h"
#include "ResendConfig.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <map>
#include <optional>

class CurlHttpClient;
struct HttpResponse;
class QTimer;

// How long a send may take and how often it is tried.
struct ResendLimits
{
    std::chrono::milliseconds deadline{60'000}; // from sendEmail to the completion
    // The wait before the second try, doubled before each later one, unless
    // the provider names a wait of its own.
    std::chrono::milliseconds firstRetryDelay{1'000};
    int maxTries = 3;
};

// The client of the provider's HTTP e-mail API: one POST to <base>/emails per
// try. Use it from the thread that created it (the GUI thread); its network
// completions run later on that thread's event loop, never inside sendEmail.
// The two failures found before anything is sent (a configuration that cannot
// be used, a body that cannot be encoded) call the completion at once.
//
// Every e-mail carries an Idempotency-Key of its own, the same on each of its
// tries, so the provider never delivers it twice. Each send completes exactly
// once, within its deadline (retries included). Destroying the service
// completes every send still open with a Cancelled error.
class ResendService : public QObject, public EmailSender
{
    Q_OBJECT

public:
    explicit ResendService(const ResendConfig &config, ResendLimits limits = {},
                           QObject *parent = nullptr);
    ~ResendService() override;

    void sendEmail(const QString &to, const QString &subject, const QString &html,
                   const std::optional<QString> &text, EmailCompletion completion,
                   Retry retry = Retry::Never) override;

private:
    struct Send;

    void startTry(quint64 id);
    void handleResponse(quint64 id, const HttpResponse &response);
    void complete(quint64 id, bool success, std::optional<EmailError> error);

    const QString m_senderEmail;
    const QString m_apiKey;
    QUrl m_endpoint;
    std::optional<EmailError> m_configProblem;
    const ResendLimits m_limits;
    std::map<quint64, Send> m_sends;
    quint64 m_nextId = 1;
    CurlHttpClient *m_http;
    bool m_closing = false;
};
