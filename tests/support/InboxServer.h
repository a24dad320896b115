// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QUrl>

#include <chrono>
#include <optional>

// Runs the built nimbrel-inbox on 127.0.0.1 for one test, on a free port.
//
//   InboxServer inbox({.apiKey = "test-key"});
//   QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
//   ResendService service({"test-key", inbox.baseUrl().toString()});
//   ... send, wait for the completion ...
//   const QJsonArray received = inbox.emails();   // newest first
//
// Every entry of emails() has "id", "receivedAt", "from", "to" (array),
// "subject", "html", "text", "headers" (lower-case names; the authorization
// value shows the scheme and one '*' per key character; HTTP drops trailing
// blanks, so an empty key shows as "Bearer") and "body" (the raw
// JSON text received). requests() lists every POST /emails, accepted or not,
// with "status", "headers", "body" and "receivedAt".
//
// The constructor blocks until the inbox prints its listening line (at most
// 10 s); the destructor stops the process. Not copyable.
class InboxServer
{
public:
    struct Options
    {
        std::optional<QString> apiKey = std::nullopt; // --api-key-file: accept only this key
        std::optional<int> status = std::nullopt; // --status: answer every send with this status
        int delayMs = 0;                          // --delay-ms: answer each send this much later
        std::optional<int> maxMessages =
            std::nullopt; // --max-messages: messages kept (default 500)
        std::optional<int> limitPerSecond = std::nullopt;   // --limit-per-second
        std::optional<int> dailyQuota = std::nullopt;       // --daily-quota
        std::optional<QString> accountOwner = std::nullopt; // --account-owner
        // Starts the inbox with this soft descriptor limit and twice it as hard limit.
        std::optional<int> descriptorLimit = std::nullopt;
    };

    InboxServer() : InboxServer(Options{}) {}
    explicit InboxServer(const Options &options);
    ~InboxServer();
    InboxServer(const InboxServer &) = delete;
    InboxServer &operator=(const InboxServer &) = delete;

    bool isRunning() const;
    qint64 processId() const { return m_process.processId(); }
    QString errorString() const { return m_error; }

    // For example http://127.0.0.1:41234; the service posts to <baseUrl>/emails.
    QUrl baseUrl() const { return m_baseUrl; }

    // Writes a Config.plist at path that points Nimbrel at this inbox with apiKey.
    bool writeConfigPlist(const QString &path, const QString &apiKey) const
    {
        return writeConfigPlist(path, apiKey, m_baseUrl);
    }
    // The same for any provider's address.
    static bool writeConfigPlist(const QString &path, const QString &apiKey, const QUrl &baseUrl);

    // GET /api/emails and /api/requests; an empty array (and errorString() set)
    // when the inbox does not answer within the timeout.
    QJsonArray emails(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    QJsonArray requests(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // GET of any path, e.g. "/" for the page, with the inbox's key when it has
    // one; empty on failure.
    QByteArray get(const QString &path,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Stops the inbox now; its port then refuses connections.
    void stop();

private:
    QJsonArray getArray(const QString &path, std::chrono::milliseconds timeout);

    std::optional<QString> m_apiKey;
    QTemporaryFile m_keyFile;
    QProcess m_process;
    QUrl m_baseUrl;
    QString m_error;
};
