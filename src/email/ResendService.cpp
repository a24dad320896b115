#include "ResendService.h"

#include "ResendEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// The provider's shared sender for accounts without a verified domain.
constexpr char senderAddress[] = "onboarding@resend.dev";

// The provider refuses requests that carry no User-Agent.
constexpr char userAgent[] = "Nimbrel/" NIMBREL_VERSION;

bool isTransportError(QNetworkReply::NetworkError error)
{
    // Qt reports HTTP statuses >= 400 as errors too (201..499); only the
    // connection-level range means the exchange itself failed.
    return error > QNetworkReply::NoError && error < QNetworkReply::ProxyConnectionRefusedError;
}

} // namespace

ResendService::ResendService() : ResendService(loadResendConfigOrStop()) {}

ResendService::ResendService(const ResendConfig &config, std::chrono::milliseconds transferTimeout,
                             QObject *parent)
    : QObject(parent), m_senderEmail(QString::fromLatin1(senderAddress)),
      m_authorization("Bearer " + config.apiKey.toUtf8()), m_transferTimeout(transferTimeout),
      m_network(new QNetworkAccessManager(this))
{
    auto endpoint = emailsEndpoint(config.baseUrl);
    if (auto *url = std::get_if<QUrl>(&endpoint))
        m_endpoint = *url;
    else
        m_configProblem = std::get<EmailError>(endpoint);
    if (!m_configProblem)
        m_configProblem = apiKeyProblem(config.apiKey);

    // Redirects are never followed: the bearer key goes to the configured host
    // only, and a 3xx answer counts as a failure.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

ResendService::~ResendService()
{
    m_closing = true;
    // abort() emits finished() at once, so every pending completion runs here, once.
    const auto replies = m_network->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies)
        reply->abort();
}

void ResendService::sendEmail(const QString &to, const QString &subject, const QString &html,
                              const std::optional<QString> &text, EmailCompletion completion)
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

    QNetworkRequest request(m_endpoint);
    request.setTransferTimeout(static_cast<int>(m_transferTimeout.count()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("Authorization"), m_authorization);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(userAgent));

    QNetworkReply *reply =
        m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    // Single-shot: the completion runs once even if the reply is aborted after finishing.
    connect(
        reply, &QNetworkReply::finished, this,
        [this, reply, completion = std::move(completion)] { finish(reply, completion); },
        Qt::SingleShotConnection);
}

void ResendService::finish(QNetworkReply *reply, const EmailCompletion &completion) const
{
    reply->deleteLater();
    const QNetworkReply::NetworkError error = reply->error();

    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        // A transfer time-out surfaces as a cancellation; ours happen only on destruction.
        if (m_closing)
            completion(false,
                       EmailError{tr("The request was cancelled."), EmailError::Kind::Cancelled});
        else
            completion(false, EmailError{tr("The request timed out."), EmailError::Kind::TimedOut});
        return;
    }
    if (isTransportError(error)) {
        completion(false, EmailError{reply->errorString(), EmailError::Kind::Network});
        return;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        completion(code >= 200 && code <= 299, std::nullopt);
        return;
    }
    if (error != QNetworkReply::NoError) {
        completion(false, EmailError{reply->errorString(), EmailError::Kind::Network});
        return;
    }
    completion(false, std::nullopt);
}
