// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResendService.h"

#include "CurlHttpClient.h"
#include "ProviderAnswer.h"
#include "ResendEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUuid>

namespace {

// The provider's shared sender for accounts without a verified domain. It
// reaches only the account's own address: SenderAddress names another.
constexpr char onboardingSender[] = "onboarding@resend.dev";

// The provider refuses requests that carry no User-Agent.
constexpr char userAgent[] = "Nimbrel/" NIMBREL_VERSION;

} // namespace

struct ResendService::Send
{
    QList<QByteArray> headers;
    QByteArray body;
    EmailCompletion completion;
    Retry retry = Retry::Never;
    QDeadlineTimer deadline;
    int tries = 0;
    QTimer *nextTry = nullptr; // set while waiting to try again
};

ResendService::ResendService(const ResendConfig &config, ResendLimits limits, QObject *parent)
    : QObject(parent),
      m_senderEmail(config.senderAddress.isEmpty() ? QString::fromLatin1(onboardingSender)
                                                   : config.senderAddress),
      m_apiKey(config.apiKey), m_limits(limits), m_http(new CurlHttpClient(this))
{
    auto endpoint = emailsEndpoint(config.baseUrl);
    if (auto *url = std::get_if<QUrl>(&endpoint))
        m_endpoint = *url;
    else
        m_configProblem = std::get<EmailError>(endpoint);
    if (!m_configProblem)
        m_configProblem = apiKeyProblem(config.apiKey);
}

ResendService::~ResendService()
{
    m_closing = true;
    // The client completes every exchange in flight as cancelled, at once; sends
    // waiting for their next try are completed here.
    delete m_http;
    while (!m_sends.empty())
        complete(m_sends.begin()->first, false,
                 EmailError{tr("The request was cancelled."), EmailError::Kind::Cancelled});
}

void ResendService::sendEmail(const QString &to, const QString &subject, const QString &html,
                              const std::optional<QString> &text, EmailCompletion completion,
                              Retry retry)
{
    if (m_configProblem) {
        completion(false, m_configProblem);
        return;
    }
    const QString plainText = text.value_or(QString());
    // Unpaired surrogates cannot be written as UTF-8 JSON without silently
    // altering the message.
    if (!to.isValidUtf16() || !subject.isValidUtf16() || !html.isValidUtf16() ||
        !plainText.isValidUtf16()) {
        completion(false, EmailError{tr("The e-mail could not be encoded: it contains malformed "
                                        "text."),
                                     EmailError::Kind::InvalidMessage});
        return;
    }

    const QJsonObject body{
        {QStringLiteral("from"), m_senderEmail}, {QStringLiteral("to"), QJsonArray{to}},
        {QStringLiteral("subject"), subject},    {QStringLiteral("html"), html},
        {QStringLiteral("text"), plainText},
    };
    const quint64 id = m_nextId++;
    Send &send = m_sends[id];
    send.headers = {
        "Content-Type: application/json",
        "Authorization: Bearer " + m_apiKey.toUtf8(),
        QByteArray("User-Agent: ") + userAgent,
        // One key per e-mail, kept across its tries: the provider delivers it once.
        "Idempotency-Key: " + QUuid::createUuid().toByteArray(QUuid::WithoutBraces),
    };
    send.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    send.completion = std::move(completion);
    send.retry = retry;
    send.deadline = QDeadlineTimer(m_limits.deadline);
    startTry(id);
}

void ResendService::startTry(quint64 id)
{
    Send &send = m_sends.at(id);
    send.nextTry = nullptr;
    ++send.tries;
    const HttpRequest request{m_endpoint, send.headers, send.body,
                              std::chrono::milliseconds(send.deadline.remainingTime())};
    m_http->post(request,
                 [this, id](const HttpResponse &response) { handleResponse(id, response); });
}

void ResendService::handleResponse(quint64 id, const HttpResponse &response)
{
    const std::optional<EmailError> failure = ProviderAnswer::failureOf(response, m_apiKey);
    if (!failure) {
        complete(id, true, std::nullopt);
        return;
    }
    const EmailError &error = *failure;
    Send &send = m_sends.at(id);
    if (m_closing || send.retry == Retry::Never || send.tries >= m_limits.maxTries ||
        !ProviderAnswer::isTransient(response, error)) {
        complete(id, false, error);
        return;
    }
    const auto backOff = m_limits.firstRetryDelay * (1 << (send.tries - 1));
    const auto wait =
        ProviderAnswer::requestedWait(response, QDateTime::currentDateTimeUtc()).value_or(backOff);
    // A try that could not finish before the deadline is not worth starting.
    if (wait >= std::chrono::milliseconds(send.deadline.remainingTime())) {
        complete(id, false, error);
        return;
    }
    send.nextTry = new QTimer(this);
    send.nextTry->setSingleShot(true);
    // A coarse timer may fire up to 5% early, before the wait the provider asked for.
    send.nextTry->setTimerType(Qt::PreciseTimer);
    connect(send.nextTry, &QTimer::timeout, this, [this, id] {
        m_sends.at(id).nextTry->deleteLater();
        startTry(id);
    });
    send.nextTry->start(wait);
}

void ResendService::complete(quint64 id, bool success, std::optional<EmailError> error)
{
    const auto found = m_sends.find(id);
    const EmailCompletion completion = std::move(found->second.completion);
    delete found->second.nextTry;
    m_sends.erase(found);
    completion(success, std::move(error));
}
