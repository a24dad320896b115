// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProviderClient.h"

#include "ProviderAnswer.h"
#include "RelayError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr auto providerTimeout = std::chrono::seconds(30);

ForwardedAnswer answerFor(const HttpResponse &response, const QString &apiKey)
{
    const std::optional<EmailError> failure = ProviderAnswer::failureOf(response, apiKey);
    if (!failure)
        return {response.status, response.body, {}};
    const QString message = QStringLiteral("The relay's e-mail provider: ") + failure->description;
    if (response.failure || response.status < 400 || response.status >= 500 ||
        response.status == 401 || response.status == 403)
        return {response.failure && response.failure->kind == EmailError::Kind::TimedOut ? 504
                                                                                         : 502,
                RelayError{502, QStringLiteral("application_error"), message}.toJson(),
                {}};
    const QString name =
        QJsonDocument::fromJson(response.body).object().value(QLatin1String("name")).toString();
    return {response.status,
            RelayError{response.status,
                       name.isEmpty() ? QStringLiteral("application_error") : name.left(64),
                       message}
                .toJson(),
            response.status == 429 ? response.retryAfter : QByteArray()};
}

} // namespace

ProviderClient::ProviderClient(QUrl emailsEndpoint, QString apiKey, QString sender, QObject *parent)
    : QObject(parent), m_endpoint(std::move(emailsEndpoint)), m_apiKey(std::move(apiKey)),
      m_sender(std::move(sender)), m_http(new CurlHttpClient(this))
{}

void ProviderClient::send(const Email &email, Done done)
{
    const QJsonObject body{{QStringLiteral("from"), m_sender},
                           {QStringLiteral("to"), QJsonArray{email.to}},
                           {QStringLiteral("subject"), email.subject},
                           {QStringLiteral("html"), email.html},
                           {QStringLiteral("text"), email.text}};
    HttpRequest request{m_endpoint,
                        {"Content-Type: application/json",
                         "Authorization: Bearer " + m_apiKey.toUtf8(),
                         "User-Agent: nimbrel-relay/" NIMBREL_VERSION},
                        QJsonDocument(body).toJson(QJsonDocument::Compact),
                        providerTimeout};
    if (!email.idempotencyKey.isEmpty())
        request.headers.append("Idempotency-Key: " + email.idempotencyKey.toUtf8());
    m_http->post(request, [key = m_apiKey, done = std::move(done)](HttpResponse response) {
        done(answerFor(response, key));
    });
}
