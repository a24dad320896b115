// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EmailSender.h"
#include "ResendConfig.h"
#include "ResendService.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class CurlHttpClient;
struct HttpResponse;

// Sends through the organisation's relay (nimbrel-relay), which holds the
// provider's key. The session code from Config.plist is claimed once for a
// token, kept in the user's state folder so that a restarted Nimbrel stays in
// its session (the code cannot be claimed twice); from then on e-mails go out
// as the provider's client sends them, with the token as the key, and each
// heartbeat tells the relay that this session is alive. Use it from the thread
// that made it.
class RelaySender : public QObject, public EmailSender
{
    Q_OBJECT

public:
    // `stateFolder` holds the token file; empty for $XDG_STATE_HOME/nimbrel
    // (default ~/.local/state/nimbrel).
    explicit RelaySender(const ResendConfig &config, QString stateFolder = {},
                         ResendLimits limits = {}, QObject *parent = nullptr);
    ~RelaySender() override;

    void sendEmail(const QString &to, const QString &subject, const QString &html,
                   const std::optional<QString> &text, EmailCompletion completion,
                   Retry retry = Retry::Never) override;
    void heartbeat(bool monitoring, int lineCount) override;

private:
    struct Waiting;
    void claim();
    void handleClaim(const HttpResponse &response);
    void useToken(const QString &token);
    QUrl relayUrl(const QString &path) const;

    const ResendConfig m_config;
    const ResendLimits m_limits;
    const QString m_tokenFile;
    CurlHttpClient *m_http;
    std::unique_ptr<ResendService> m_service; // once a token is held
    QString m_token;
    bool m_claiming = false;
    std::vector<Waiting> m_waiting; // sends that came before the token
};
