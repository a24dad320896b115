// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelaySender.h"

#include "CurlHttpClient.h"
#include "EmailLog.h"
#include "ProviderAnswer.h"
#include "ResendEndpoint.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

constexpr std::chrono::seconds claimTimeout{15};
constexpr std::chrono::seconds heartbeatTimeout{5};

QString defaultStateFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return (state.isEmpty() ? QDir::homePath() + QLatin1String("/.local/state") : state) +
           QLatin1String("/nimbrel");
}

// One file per relay and code: the relay reads a code without its dashes,
// blanks or case, and so does this name.
QString tokenFileName(const ResendConfig &config)
{
    QString code = config.sessionCode.toUpper();
    code.remove(QRegularExpression(QStringLiteral("[\\s-]")));
    const QByteArray key = (config.relayUrl + QLatin1Char('\n') + code).toUtf8();
    return QLatin1String("relay-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16)) +
           QLatin1String(".token");
}

bool isToken(const QString &text)
{
    static const QRegularExpression hex32(QStringLiteral("^[0-9a-f]{32}$"));
    return hex32.match(text).hasMatch();
}

QString readToken(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString token = QString::fromLatin1(file.read(64)).trimmed();
    return isToken(token) ? token : QString();
}

// Written for this user alone: the token sends this session's e-mails.
void writeToken(const QString &path, const QString &token)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(token.toLatin1()) < 0 || !file.commit())
        qCWarning(nimbrelEmail).noquote()
            << "The relay's token could not be kept in" << path
            << "; a restarted Nimbrel will need a new session code.";
}

} // namespace

struct RelaySender::Waiting
{
    QString to, subject, html;
    std::optional<QString> text;
    EmailCompletion completion;
    Retry retry;
};

RelaySender::RelaySender(const ResendConfig &config, QString stateFolder, ResendLimits limits,
                         QObject *parent)
    : QObject(parent), m_config(config), m_limits(limits),
      m_tokenFile((stateFolder.isEmpty() ? defaultStateFolder() : stateFolder) +
                  QLatin1Char('/') + tokenFileName(config)),
      m_http(new CurlHttpClient(this))
{
    if (const QString token = readToken(m_tokenFile); !token.isEmpty())
        useToken(token);
    else
        claim(); // now, so that the first e-mail does not wait for it
}

RelaySender::~RelaySender()
{
    delete m_http;
    for (Waiting &waiting : m_waiting)
        waiting.completion(false, EmailError{tr("The request was cancelled."),
                                             EmailError::Kind::Cancelled});
}

QUrl RelaySender::relayUrl(const QString &path) const
{
    // The relay answers under the same rules as the provider: HTTPS, or HTTP
    // to this machine.
    const auto emails = emailsEndpoint(m_config.relayUrl);
    const QUrl *url = std::get_if<QUrl>(&emails);
    return url ? url->resolved(QUrl(path)) : QUrl();
}

void RelaySender::sendEmail(const QString &to, const QString &subject, const QString &html,
                            const std::optional<QString> &text, EmailCompletion completion,
                            Retry retry)
{
    if (m_service) {
        m_service->sendEmail(to, subject, html, text, std::move(completion), retry);
        return;
    }
    m_waiting.push_back({to, subject, html, text, std::move(completion), retry});
    claim();
}

void RelaySender::claim()
{
    if (m_claiming)
        return;
    const auto emails = emailsEndpoint(m_config.relayUrl);
    if (const EmailError *problem = std::get_if<EmailError>(&emails)) {
        for (Waiting &waiting : std::exchange(m_waiting, {}))
            waiting.completion(false, *problem);
        return;
    }
    m_claiming = true;
    const QJsonObject body{{QStringLiteral("code"), m_config.sessionCode}};
    m_http->post({relayUrl(QStringLiteral("v1/claim")),
                  {"Content-Type: application/json"},
                  QJsonDocument(body).toJson(QJsonDocument::Compact),
                  claimTimeout},
                 [this](const HttpResponse &response) { handleClaim(response); });
}

void RelaySender::handleClaim(const HttpResponse &response)
{
    m_claiming = false;
    const QString token =
        QJsonDocument::fromJson(response.body)[QLatin1String("token")].toString();
    if (!response.failure && response.status == 200 && isToken(token)) {
        writeToken(m_tokenFile, token);
        useToken(token);
        return;
    }
    // The relay's errors have the provider's shape and read the same way.
    EmailError error =
        ProviderAnswer::failureOf(response, {})
            .value_or(EmailError{tr("the relay answered %1 without a session token")
                                     .arg(response.status),
                                 EmailError::Kind::Network});
    error.description = tr("The session code could not be claimed: %1").arg(error.description);
    qCWarning(nimbrelEmail).noquote() << error.description;
    // Each later send claims again: the code may have been mistyped, the
    // relay unreachable for a moment.
    for (Waiting &waiting : std::exchange(m_waiting, {}))
        waiting.completion(false, error);
}

void RelaySender::useToken(const QString &token)
{
    m_token = token;
    ResendConfig viaRelay = m_config;
    viaRelay.apiKey = token;
    viaRelay.baseUrl = m_config.relayUrl;
    m_service = std::make_unique<ResendService>(viaRelay, m_limits);
    for (Waiting &waiting : std::exchange(m_waiting, {}))
        m_service->sendEmail(waiting.to, waiting.subject, waiting.html, waiting.text,
                             std::move(waiting.completion), waiting.retry);
}

void RelaySender::heartbeat(bool monitoring, int lineCount)
{
    if (m_token.isEmpty())
        return;
    const QJsonObject body{{QStringLiteral("monitoring"), monitoring},
                           {QStringLiteral("lines"), lineCount}};
    m_http->post({relayUrl(QStringLiteral("v1/heartbeat")),
                  {"Content-Type: application/json", "Authorization: Bearer " + m_token.toLatin1()},
                  QJsonDocument(body).toJson(QJsonDocument::Compact),
                  heartbeatTimeout},
                 [](const HttpResponse &response) {
                     if (response.failure || response.status != 204)
                         qCWarning(nimbrelEmail).noquote()
                             << "The relay did not take a heartbeat:"
                             << (response.failure ? response.failure->description
                                                  : QString::number(response.status));
                 });
}
