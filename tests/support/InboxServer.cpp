// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "InboxServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

#include <sys/resource.h>

InboxServer::InboxServer(const Options &options) : m_apiKey(options.apiKey)
{
    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0")};
    // Through a file, as scripts/run hands it over, never on the command line.
    if (options.apiKey && m_keyFile.open()) {
        m_keyFile.write(options.apiKey->toUtf8() + '\n');
        m_keyFile.flush();
        arguments << QStringLiteral("--api-key-file") << m_keyFile.fileName();
    }
    if (options.status)
        arguments << QStringLiteral("--status") << QString::number(*options.status);
    if (options.delayMs > 0)
        arguments << QStringLiteral("--delay-ms") << QString::number(options.delayMs);
    if (options.maxMessages)
        arguments << QStringLiteral("--max-messages") << QString::number(*options.maxMessages);
    if (options.limitPerSecond)
        arguments << QStringLiteral("--limit-per-second")
                  << QString::number(*options.limitPerSecond);
    if (options.dailyQuota)
        arguments << QStringLiteral("--daily-quota") << QString::number(*options.dailyQuota);
    if (options.accountOwner)
        arguments << QStringLiteral("--account-owner") << *options.accountOwner;

    if (const std::optional<int> limit = options.descriptorLimit) {
        m_process.setChildProcessModifier([soft = rlim_t(*limit)] {
            const rlimit descriptors{soft, 2 * soft};
            setrlimit(RLIMIT_NOFILE, &descriptors);
        });
    }
    // The inbox's own errors (and sanitizer reports) show in the test's output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(NIMBREL_INBOX_PATH), arguments);
    if (!m_process.waitForStarted(10'000)) {
        m_error = QStringLiteral("nimbrel-inbox did not start: ") + m_process.errorString();
        return;
    }

    static const QRegularExpression listening(QStringLiteral("listening on (http://\\S+)"));
    const QDeadlineTimer deadline(10'000);
    while (!deadline.hasExpired()) {
        if (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (const auto match = listening.match(line); match.hasMatch()) {
                m_baseUrl = QUrl(match.captured(1));
                return;
            }
            continue;
        }
        if (m_process.state() != QProcess::Running)
            break;
        m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    m_error = QStringLiteral("nimbrel-inbox printed no listening line (its errors are above)");
    stop();
}

InboxServer::~InboxServer()
{
    stop();
}

bool InboxServer::writeConfigPlist(const QString &path, const QString &apiKey, const QUrl &baseUrl)
{
    QFile config(path);
    return config.open(QIODevice::WriteOnly) &&
           config.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
                                       "version=\"1.0\"><dict><key>ResendAPIKey</key><string>%1</"
                                       "string><key>ResendAPIBaseURL</key><string>%2</string>"
                                       "</dict></plist>\n")
                            .arg(apiKey.toHtmlEscaped(), baseUrl.toString().toHtmlEscaped())
                            .toUtf8()) > 0;
}

bool InboxServer::isRunning() const
{
    return m_baseUrl.isValid() && m_process.state() == QProcess::Running;
}

void InboxServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3'000)) {
        m_process.kill();
        m_process.waitForFinished(3'000);
    }
}

QByteArray InboxServer::get(const QString &path, std::chrono::milliseconds timeout)
{
    QNetworkAccessManager network;
    QNetworkRequest request(m_baseUrl.resolved(QUrl(path)));
    request.setTransferTimeout(int(timeout.count()));
    if (m_apiKey)
        request.setRawHeader("Authorization", "Bearer " + m_apiKey->toUtf8());
    QNetworkReply *reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        m_error = QStringLiteral("GET %1 failed: %2").arg(path, reply->errorString());
        return {};
    }
    return reply->readAll();
}

QJsonArray InboxServer::getArray(const QString &path, std::chrono::milliseconds timeout)
{
    return QJsonDocument::fromJson(get(path, timeout)).array();
}

QJsonArray InboxServer::emails(std::chrono::milliseconds timeout)
{
    return getArray(QStringLiteral("/api/emails"), timeout);
}

QJsonArray InboxServer::requests(std::chrono::milliseconds timeout)
{
    return getArray(QStringLiteral("/api/requests"), timeout);
}
