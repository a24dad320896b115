#pragma once

#include "EmailSender.h"
#include "ResendConfig.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// The client of the provider's HTTP e-mail API: one POST to <base>/emails per
// sendEmail. Use it from the thread that created it (the GUI thread); its
// network completions run later on that thread's event loop, never inside
// sendEmail. The two failures found before anything is sent (a configuration
// that cannot be used, a body that cannot be encoded) call the completion at
// once. Destroying the service aborts what is still in flight and completes
// each of those sends with a Cancelled error.
class ResendService : public QObject, public EmailSender
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTransferTimeout{60'000};

    // Reads Config.plist (see loadResendConfigOrStop); stops the process when
    // no usable API key is found.
    ResendService();
    explicit ResendService(const ResendConfig &config,
                           std::chrono::milliseconds transferTimeout = defaultTransferTimeout,
                           QObject *parent = nullptr);
    ~ResendService() override;

    void sendEmail(const QString &to, const QString &subject, const QString &html,
                   const std::optional<QString> &text, EmailCompletion completion) override;

    QString senderEmail() const { return m_senderEmail; }

private:
    void finish(QNetworkReply *reply, const EmailCompletion &completion) const;

    const QString m_senderEmail;
    const QByteArray m_authorization;
    QUrl m_endpoint;
    std::optional<EmailError> m_configProblem;
    const std::chrono::milliseconds m_transferTimeout;
    QNetworkAccessManager *const m_network;
    bool m_closing = false;
};
