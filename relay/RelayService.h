// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HttpServer.h"
#include "RateLimiter.h"
#include "RelayCall.h"
#include "RelayError.h"
#include "RelayStore.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>
#include <variant>

class InterviewerSite;
class LivenessWatch;
class ProviderClient;

struct RelaySettings
{
    QString listenAddress = QStringLiteral("127.0.0.1");
    quint16 port = 8787;
    QUrl providerEndpoint; // the provider's …/emails
    QString providerKey;
    QString sender;
    std::chrono::seconds silenceAfter{35};
    HttpLimits limits;
    // Behind a reverse proxy on this machine, the client's address is the
    // proxy's X-Real-IP rather than the peer's.
    bool trustProxy = false;
    int sessionEmailsPerMinute = 30;
    int addressEmailsPerMinute = 600;
    int claimsPerMinute = 10;
};

// The relay's API on an HttpServer: claims, sends and heartbeats. Requests
// come in on the server's thread and are handled here, on the thread of this
// object, where the database and the provider's client live.
class RelayService : public QObject
{
    Q_OBJECT

public:
    RelayService(RelaySettings settings, std::unique_ptr<RelayStore> store,
                 QObject *parent = nullptr);
    ~RelayService() override;

    // Listens and starts the liveness watch; the bound port, or why not.
    std::variant<quint16, QString> start();

private:
    void handle(const RelayCall &call);
    void claim(const RelayCall &call);
    void sendEmail(const RelayCall &call);
    void heartbeat(const RelayCall &call);
    std::variant<SessionRecord, RelayError> authorise(const RelayCall &call);
    std::optional<RelayError> limit(RateLimiter &limiter, const QString &key,
                                    const RelayCall &call);

    RelaySettings m_settings;
    std::unique_ptr<RelayStore> m_store;
    ProviderClient *m_provider;
    LivenessWatch *m_liveness;
    InterviewerSite *m_site;
    RateLimiter m_sessionEmails;
    RateLimiter m_addressEmails;
    RateLimiter m_claims;
    RateLimiter m_heartbeats;
    std::unique_ptr<HttpServer> m_server;
};
