// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CurlHttpClient.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <mutex>

namespace {

// Header values kept for the retry decision are short; anything longer is noise.
constexpr qsizetype maxKeptHeaderBytes = 64;

EmailError cutOff()
{
    return {QCoreApplication::translate("ResendService", "the e-mail service's answer was cut off"),
            EmailError::Kind::Network};
}

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

EmailError failureOf(CURLcode code, const char *detail, bool bodyTooLarge)
{
    const auto text = [](const char *source) {
        return QCoreApplication::translate("ResendService", source);
    };
    if (code == CURLE_OPERATION_TIMEDOUT)
        return {text("The request timed out."), EmailError::Kind::TimedOut};
    if (bodyTooLarge || code == CURLE_FILESIZE_EXCEEDED)
        return {text("The e-mail service's answer was larger than 64 KiB."),
                EmailError::Kind::Network};
    if (code == CURLE_PARTIAL_FILE)
        return cutOff();
    const QString description = QString::fromUtf8(detail[0] ? detail : curl_easy_strerror(code));
    return {description, EmailError::Kind::Network};
}

} // namespace

struct CurlHttpClient::Transfer
{
    quint64 id = 0;
    CURL *easy = nullptr;
    curl_slist *headers = nullptr;
    HttpResponse response;
    bool bodyTooLarge = false;
    // libcurl reports success for an answer that ends inside its header block.
    bool headersComplete = false;
    char error[CURL_ERROR_SIZE] = {};

    ~Transfer()
    {
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    // Called by libcurl, a C library: nothing may throw out of these.
    static size_t onBody(char *data, size_t, size_t size, void *self) noexcept
    {
        auto *transfer = static_cast<Transfer *>(self);
        QByteArray &body = transfer->response.body;
        if (qsizetype(size) > maxBodyBytes - body.size()) {
            transfer->bodyTooLarge = true;
            return 0; // ends the exchange
        }
        try {
            body.append(data, qsizetype(size));
        } catch (...) {
            return 0;
        }
        return size;
    }

    static size_t onHeader(char *data, size_t, size_t size, void *self) noexcept
    {
        auto *transfer = static_cast<Transfer *>(self);
        const QByteArrayView line(data, qsizetype(size));
        // Each block (a 1xx one, then the final one) starts with its status line
        // and ends with an empty line.
        if (line.startsWith("HTTP/"))
            transfer->headersComplete = false;
        else if (line == "\r\n" || line == "\n")
            transfer->headersComplete = true;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return size;
        const QByteArray name = line.first(colon).trimmed().toByteArray().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed().toByteArray();
        if (value.size() <= maxKeptHeaderBytes) {
            if (name == "retry-after")
                transfer->response.retryAfter = value;
            else if (name == "ratelimit-reset")
                transfer->response.rateLimitReset = value;
        }
        return size;
    }
};

CurlHttpClient::CurlHttpClient(QObject *parent) : QObject(parent)
{
    initialiseCurlOnce();
    m_multi = curl_multi_init();
    m_worker = std::thread([this] { runTransfers(); });
}

CurlHttpClient::~CurlHttpClient()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    curl_multi_wakeup(m_multi);
    m_worker.join();
    curl_multi_cleanup(m_multi);
    // Answers the worker handed back but this thread has not seen yet are dropped
    // with this object; their exchanges complete here, like the unfinished ones.
    HttpResponse cancelled;
    cancelled.failure = EmailError{tr("The request was cancelled."), EmailError::Kind::Cancelled};
    for (auto &[id, done] : std::exchange(m_done, {}))
        done(cancelled);
}

void CurlHttpClient::post(const HttpRequest &request, Done done)
{
    auto transfer = std::make_unique<Transfer>();
    transfer->id = m_nextId++;
    CURL *easy = transfer->easy = curl_easy_init();
    for (const QByteArray &header : request.headers)
        transfer->headers = curl_slist_append(transfer->headers, header.constData());
    // libcurl would otherwise wait for "100 Continue" before sending a large body.
    transfer->headers = curl_slist_append(transfer->headers, "Expect:");

    const QByteArray url = request.url.toEncoded();
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_PROXY, ""); // the bearer key goes to the configured host only
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(std::max<qint64>(1, request.timeout.count())));
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.body.constData());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error);

    m_done.emplace(transfer->id, std::move(done));
    {
        const std::lock_guard lock(m_mutex);
        m_incoming.push_back(std::move(transfer));
    }
    curl_multi_wakeup(m_multi);
}

void CurlHttpClient::runTransfers()
{
    std::map<CURL *, std::unique_ptr<Transfer>> running;
    for (;;) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping)
                break;
            for (auto &transfer : m_incoming) {
                curl_multi_add_handle(m_multi, transfer->easy);
                running.emplace(transfer->easy, std::move(transfer));
            }
            m_incoming.clear();
        }

        int active = 0;
        curl_multi_perform(m_multi, &active);
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            const auto found = running.find(message->easy_handle);
            std::unique_ptr<Transfer> transfer = std::move(found->second);
            running.erase(found);
            curl_multi_remove_handle(m_multi, transfer->easy);

            HttpResponse response = std::move(transfer->response);
            long status = 0;
            curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
            response.status = int(status);
            if (message->data.result != CURLE_OK)
                response.failure =
                    failureOf(message->data.result, transfer->error, transfer->bodyTooLarge);
            else if (!transfer->headersComplete)
                response.failure = cutOff();
            QMetaObject::invokeMethod(
                this,
                [this, id = transfer->id, response = std::move(response)]() mutable {
                    deliver(id, std::move(response));
                },
                Qt::QueuedConnection);
        }
        curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
    }
    for (auto &[easy, transfer] : running)
        curl_multi_remove_handle(m_multi, easy);
    // Transfers never started are cleaned up with m_incoming.
}

void CurlHttpClient::deliver(quint64 id, HttpResponse response)
{
    const auto found = m_done.find(id);
    if (found == m_done.end())
        return;
    const Done done = std::move(found->second);
    m_done.erase(found);
    done(std::move(response));
}
