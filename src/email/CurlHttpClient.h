// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EmailSender.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// One POST as the e-mail service sends it.
struct HttpRequest
{
    QUrl url;
    QList<QByteArray> headers; // "Name: value"
    QByteArray body;
    std::chrono::milliseconds timeout; // for the whole exchange, whatever arrives
};

// What came back. When the exchange did not complete (no connection, time-out,
// an answer too large or cut off, cancelled) `failure` says why and the rest
// is partial.
struct HttpResponse
{
    std::optional<EmailError> failure;
    int status = 0;
    QByteArray body;           // at most CurlHttpClient::maxBodyBytes
    QByteArray retryAfter;     // the "Retry-After" header, if any
    QByteArray rateLimitReset; // the "ratelimit-reset" header, if any
};

// An HTTP client that trusts no server with its memory or its time: libcurl on
// a worker thread of its own, no redirects, no proxies, a hard time limit per
// exchange, and at most 64 KiB of any answer's body (a longer or longer-declared
// body ends the exchange). Completions run later on the thread that made the
// client, never inside post(); destroying the client completes every exchange
// still in flight with a Cancelled failure, at once.
class CurlHttpClient : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxBodyBytes = 64 * 1024;
    using Done = std::function<void(HttpResponse)>;

    explicit CurlHttpClient(QObject *parent = nullptr);
    ~CurlHttpClient() override;

    void post(const HttpRequest &request, Done done);

private:
    struct Transfer;

    void runTransfers();
    void deliver(quint64 id, HttpResponse response);

    std::map<quint64, Done> m_done; // on the client's thread only
    quint64 m_nextId = 1;

    // Shared with the worker, under m_mutex.
    std::mutex m_mutex;
    std::list<std::unique_ptr<Transfer>> m_incoming;
    bool m_stopping = false;

    void *m_multi = nullptr; // CURLM *, used by the worker; wakeup is thread-safe
    std::thread m_worker;
};
