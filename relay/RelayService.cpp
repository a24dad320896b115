// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RelayService.h"

#include "InterviewerSite.h"
#include "LivenessWatch.h"
#include "ProviderClient.h"
#include "Secrets.h"
#include "SendRules.h"
#include "SessionCode.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

namespace http = boost::beast::http;

Q_LOGGING_CATEGORY(lcRelay, "nimbrel.relay")

namespace {

constexpr qsizetype maxIdempotencyKeyLength = 200;
constexpr int heartbeatsPerMinute = 30; // one each 10 s tick, with room for restarts

QJsonObject jsonObject(const HttpRequestMessage &message)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(message.body())).object();
}

RelayError invalidBody(const QString &message)
{
    return {422, QStringLiteral("validation_error"), message};
}

} // namespace

RelayService::RelayService(RelaySettings settings, std::unique_ptr<RelayStore> store,
                           QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_store(std::move(store)),
      m_provider(new ProviderClient(m_settings.providerEndpoint, m_settings.providerKey,
                                    m_settings.sender, this)),
      m_liveness(new LivenessWatch(*m_store, *m_provider, m_settings.silenceAfter, this)),
      m_site(new InterviewerSite(*m_store, this)),
      m_sessionEmails(m_settings.sessionEmailsPerMinute, m_settings.sessionEmailsPerMinute),
      m_addressEmails(m_settings.addressEmailsPerMinute, m_settings.addressEmailsPerMinute),
      m_claims(m_settings.claimsPerMinute, m_settings.claimsPerMinute),
      m_heartbeats(heartbeatsPerMinute, heartbeatsPerMinute / 3)
{}

RelayService::~RelayService()
{
    m_server.reset(); // no request may arrive while the rest goes
}

std::variant<quint16, QString> RelayService::start()
{
    m_server = std::make_unique<HttpServer>(
        m_settings.limits, [this](IncomingRequest request, HttpRespond respond) {
            QString address = QString::fromStdString(request.peerAddress);
            RelayCall call{std::move(request.message), std::move(address), std::move(respond)};
            QMetaObject::invokeMethod(
                this, [this, call] { handle(call); }, Qt::QueuedConnection);
        });
    const auto bound = m_server->listen(m_settings.listenAddress.toStdString(), m_settings.port);
    if (const auto *problem = std::get_if<std::string>(&bound))
        return QString::fromStdString(*problem);
    m_liveness->start();
    return quint16(std::get<unsigned short>(bound));
}

void RelayService::handle(const RelayCall &received)
{
    RelayCall call = received;
    if (m_settings.trustProxy && QHostAddress(call.address).isLoopback()) {
        const QString forwarded = call.header("X-Real-IP");
        if (!QHostAddress(forwarded).isNull())
            call.address = forwarded;
    }

    const QString path = call.path();
    using Route = void (RelayService::*)(const RelayCall &);
    Route route = nullptr;
    if (path == QLatin1String("/emails"))
        route = &RelayService::sendEmail;
    else if (path == QLatin1String("/v1/claim"))
        route = &RelayService::claim;
    else if (path == QLatin1String("/v1/heartbeat"))
        route = &RelayService::heartbeat;
    else if (path == QLatin1String("/healthz") && call.message.method() == http::verb::get)
        return call.reply(jsonAnswer(200, QByteArrayLiteral("{\"status\":\"ok\"}")));
    else if (m_site->handle(call))
        return;
    if (!route)
        return call.reply({404, QStringLiteral("not_found"), QStringLiteral("Not found.")});
    if (call.message.method() != http::verb::post)
        return call.reply({405, QStringLiteral("method_not_allowed"),
                           QStringLiteral("Only POST is served here.")});
    (this->*route)(call);
}

std::optional<RelayError> RelayService::limit(RateLimiter &limiter, const QString &key,
                                              const RelayCall &call)
{
    const auto wait = limiter.take(key, RateLimiter::Clock::now());
    if (!wait)
        return std::nullopt;
    RelayError error{429, QStringLiteral("rate_limit_exceeded"),
                     QStringLiteral("Too many requests; try again in %1 s.").arg(wait->count())};
    HttpResponseMessage response = jsonAnswer(error.status, error.toJson());
    response.set(http::field::retry_after, std::to_string(wait->count()));
    call.reply(response);
    return error;
}

void RelayService::claim(const RelayCall &call)
{
    if (limit(m_claims, call.address, call))
        return;
    const QJsonValue typed = jsonObject(call.message).value(QLatin1String("code"));
    const auto code = SessionCode::parse(typed.toString());
    if (!typed.isString() || std::holds_alternative<SessionCode::Problem>(code)) {
        const bool typo = std::get_if<SessionCode::Problem>(&code) &&
                          std::get<SessionCode::Problem>(code) == SessionCode::Problem::CheckFails;
        return call.reply({400, QStringLiteral("validation_error"),
                           typo ? QStringLiteral("The session code has a typing error: check it "
                                                 "character by character.")
                                : QStringLiteral("A session code has nine letters and digits, "
                                                 "e.g. K7QM-2XRD-P.")});
    }

    const QByteArray token = Secrets::newToken();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const auto claimed = m_store->claim(Secrets::hashOf(std::get<QString>(code).toLatin1()),
                                        Secrets::hashOf(token), now);
    if (const auto *refusal = std::get_if<RelayStore::ClaimRefusal>(&claimed)) {
        switch (*refusal) {
        case RelayStore::ClaimRefusal::Unknown:
            return call.reply({404, QStringLiteral("not_found"),
                               QStringLiteral("There is no session with this code.")});
        case RelayStore::ClaimRefusal::Used:
            return call.reply({409, QStringLiteral("validation_error"),
                               QStringLiteral("This session code has already been used.")});
        case RelayStore::ClaimRefusal::Expired:
            return call.reply({410, QStringLiteral("validation_error"),
                               QStringLiteral("This session code has expired.")});
        case RelayStore::ClaimRefusal::Failed:
            qCWarning(lcRelay) << "claim not stored:" << m_store->lastError();
            return call.reply({503, QStringLiteral("application_error"),
                               QStringLiteral("The relay cannot store the claim now.")});
        }
    }
    const SessionRecord &session = std::get<SessionRecord>(claimed);
    const QJsonObject body{
        {QStringLiteral("token"), QString::fromLatin1(token)},
        {QStringLiteral("interviewer"), maskedAddress(session.interviewer)},
        {QStringLiteral("expires"),
         QDateTime::fromMSecsSinceEpoch(session.expiresAt, Qt::UTC).toString(Qt::ISODate)}};
    call.reply(jsonAnswer(200, QJsonDocument(body).toJson(QJsonDocument::Compact)));
}

std::variant<SessionRecord, RelayError> RelayService::authorise(const RelayCall &call)
{
    const QString authorization = call.header("Authorization");
    if (!authorization.startsWith(QLatin1String("Bearer ")) || authorization.size() <= 7)
        return RelayError{401, QStringLiteral("missing_api_key"),
                          QStringLiteral("Missing session token in the Authorization header.")};
    const auto session = m_store->sessionForToken(Secrets::hashOf(authorization.mid(7).toUtf8()));
    if (!session)
        return RelayError{403, QStringLiteral("invalid_api_key"),
                          QStringLiteral("The session token is not valid.")};
    if (session->expiresAt <= QDateTime::currentMSecsSinceEpoch())
        return RelayError{403, QStringLiteral("invalid_api_key"),
                          QStringLiteral("The session has expired.")};
    return *session;
}

void RelayService::sendEmail(const RelayCall &call)
{
    const auto authorised = authorise(call);
    if (const auto *error = std::get_if<RelayError>(&authorised))
        return call.reply(*error);
    const SessionRecord session = std::get<SessionRecord>(authorised);

    const QString idempotencyKey = call.header("Idempotency-Key");
    if (idempotencyKey.size() > maxIdempotencyKeyLength)
        return call.reply(invalidBody(QStringLiteral("The Idempotency-Key is too long.")));
    const auto checked =
        checkSend(QByteArray::fromStdString(call.message.body()), session.interviewer);
    if (const auto *error = std::get_if<RelayError>(&checked))
        return call.reply(*error);
    if (limit(m_addressEmails, call.address, call) ||
        limit(m_sessionEmails, QString::number(session.id), call))
        return;

    const AllowedEmail email = std::get<AllowedEmail>(checked);
    // Scoped to the session, so two sessions' keys never meet at the provider.
    const QString providerKey = idempotencyKey.isEmpty()
                                    ? QString()
                                    : QStringLiteral("s%1-%2").arg(session.id).arg(idempotencyKey);
    m_provider->send(
        {session.interviewer, email.subject, email.html, email.text, providerKey},
        [this, call, session, email, idempotencyKey](const ForwardedAnswer &forwarded) {
            if (forwarded.status >= 200 && forwarded.status <= 299) {
                const QString detail = (email.text.isEmpty() ? email.html : email.text).left(16384);
                if (!m_store->recordEmail(session.id, email.kind, detail, idempotencyKey,
                                          email.monitoring, QDateTime::currentMSecsSinceEpoch())) {
                    qCWarning(lcRelay) << "e-mail not recorded:" << m_store->lastError();
                    // The client tries again with its Idempotency-Key; the provider sends once.
                    return call.reply({503, QStringLiteral("application_error"),
                                       QStringLiteral("The relay cannot record the e-mail now.")});
                }
            }
            HttpResponseMessage response = jsonAnswer(forwarded.status, forwarded.body);
            if (!forwarded.retryAfter.isEmpty())
                response.set(http::field::retry_after, forwarded.retryAfter.toStdString());
            call.reply(response);
        });
}

void RelayService::heartbeat(const RelayCall &call)
{
    const auto authorised = authorise(call);
    if (const auto *error = std::get_if<RelayError>(&authorised))
        return call.reply(*error);
    const SessionRecord session = std::get<SessionRecord>(authorised);
    if (limit(m_heartbeats, QString::number(session.id), call))
        return;
    const QJsonObject body = jsonObject(call.message);
    const QJsonValue monitoring = body.value(QLatin1String("monitoring"));
    const QJsonValue lines = body.value(QLatin1String("lines"));
    if (!monitoring.isBool() ||
        !(lines.isUndefined() || (lines.isDouble() && lines.toInt(-1) >= 0)))
        return call.reply(invalidBody(QStringLiteral("A heartbeat is {\"monitoring\": true|false, "
                                                     "\"lines\": N}.")));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    bool cameBack = false;
    if (!m_store->heartbeat(session.id, monitoring.toBool(), lines.toInt(), now, &cameBack)) {
        qCWarning(lcRelay) << "heartbeat not stored:" << m_store->lastError();
        return call.reply({503, QStringLiteral("application_error"),
                           QStringLiteral("The relay cannot store the heartbeat now.")});
    }
    if (cameBack)
        m_liveness->cameBack(session.id, session.interviewer, now);
    call.reply(jsonAnswer(204));
}
