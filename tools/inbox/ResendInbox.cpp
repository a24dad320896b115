// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResendInbox.h"

#include "ConnectionGate.h"
#include "InboxPage.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUuid>

#include <cstdio>

namespace {

// The provider's limit for one message, request included.
constexpr qint64 maxRequestBodyBytes = 40'000'000;

// Shows the scheme and one '*' per key character, never the key: the page and
// the JSON may be opened by anyone on this machine. HTTP drops trailing blanks,
// so "Bearer " with an empty key arrives as "Bearer".
QString maskedAuthorization(const QByteArray &value)
{
    const qsizetype space = value.indexOf(' ');
    if (space < 0)
        return QString::fromUtf8(value);
    return QString::fromUtf8(value.left(space + 1)) + QString(value.size() - space - 1, '*');
}

QJsonObject headersJson(const HeaderList &headers)
{
    QJsonObject object;
    for (const auto &[name, value] : headers) {
        const QString key = QString::fromLatin1(name.toLower());
        object.insert(key, key == QLatin1String("authorization") ? maskedAuthorization(value)
                                                                 : QString::fromUtf8(value));
    }
    return object;
}

// Of any body kept or logged, its start: enough to read what a message was,
// never the 40 MB a request may carry.
constexpr qsizetype maxKeptBodyBytes = 16 * 1024;

QString kept(const QByteArray &body)
{
    if (body.size() <= maxKeptBodyBytes)
        return QString::fromUtf8(body);
    return QString::fromUtf8(body.first(maxKeptBodyBytes)) +
           QStringLiteral("… [%1 bytes in all]").arg(body.size());
}

QString kept(const QString &text)
{
    if (text.size() <= maxKeptBodyBytes)
        return text;
    return text.first(maxKeptBodyBytes) +
           QStringLiteral("… [%1 characters in all]").arg(text.size());
}

QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

ResendInbox::ResendInbox(const InboxOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_store(options.maxMessages),
      m_idempotency(std::max<qsizetype>(10'000, 2 * options.maxMessages)),
      m_limits(options.limitPerSecond, options.dailyQuota)
{}

quint16 ResendInbox::listen(quint16 port)
{
    auto *gate = new ConnectionGate(
        {.maxBodyBytes = maxRequestBodyBytes}, ConnectionGate::raiseDescriptorLimit(),
        [this](const HttpRequest &request, HttpConnection::Answer answer) {
            handle(request, answer);
        },
        this);
    return gate->listenOnLoopback(port) ? gate->serverPort() : 0;
}

void ResendInbox::handle(const HttpRequest &request, const HttpConnection::Answer &answer)
{
    const QByteArray &method = request.head.method, &path = request.head.path;
    const auto json = [&](int status, const QJsonDocument &body) {
        answer({status, "application/json", {}, body.toJson(QJsonDocument::Compact)});
    };
    if (method == "POST" && path == "/emails")
        return receiveSend(request, answer);
    if (path.startsWith("/api/") && m_options.apiKey) {
        if (const auto refused = checkApiKey(request.head.headers, m_options.apiKey))
            return json(refused->status, QJsonDocument(refused->toJson()));
    }
    if (method == "GET" && path == "/api/emails")
        return json(200, QJsonDocument(m_store.messagesJson()));
    if (method == "GET" && path == "/api/requests")
        return json(200, QJsonDocument(m_store.requestsJson()));
    if (method == "DELETE" && path == "/api/emails") {
        m_store.clearMessages();
        return answer({204, {}, {}, {}});
    }
    for (const InboxPageFile &file : inboxPageFiles()) {
        if (method == "GET" && path == file.path.toLatin1())
            return answer(
                {200,
                 file.mimeType,
                 {{"Content-Security-Policy", inboxPagePolicy}, {"Cache-Control", "no-cache"}},
                 file.content});
    }
    const Rejection notFound{404, QStringLiteral("not_found"),
                             QStringLiteral("The requested endpoint does not exist.")};
    json(404, QJsonDocument(notFound.toJson()));
}

void ResendInbox::receiveSend(const HttpRequest &request, const HttpConnection::Answer &answer)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString receivedAt = now.toString(Qt::ISODateWithMs);
    const HeaderList &headers = request.head.headers;
    const auto refuse = [&](const Rejection &rejection, const HeaderList &extra = {}) {
        logRequest(request, rejection.status, receivedAt);
        printReceived(rejection.status, {}, {});
        answerSend(answer, rejection.toJson(), rejection.status, extra);
    };
    const auto tooMany = [&](const SendLimits::Exceeded &exceeded) {
        const QByteArray wait = QByteArray::number(exceeded.waitSeconds);
        refuse({429, QString::fromLatin1(exceeded.name), exceeded.message},
               {{"retry-after", wait},
                {"ratelimit-limit", QByteArray::number(exceeded.limit)},
                {"ratelimit-remaining", "0"},
                {"ratelimit-reset", wait}});
    };
    if (const auto exceeded = m_limits.admitRequest(now))
        return tooMany(*exceeded);

    // The same key and body again answer what the first request got, and store
    // nothing new; the same key with another body is a conflict.
    const QByteArray key = headerValue(headers, "idempotency-key").value_or(QByteArray());
    if (key.size() > 256)
        return refuse({400, QStringLiteral("invalid_idempotency_key"),
                       QStringLiteral("The key must be between 1-256 chars.")});
    if (const auto kept = key.isEmpty() ? std::nullopt : m_idempotency.find(key, now)) {
        if (kept->bodyHash != IdempotencyCache::hashOf(request.body))
            return refuse({409, QStringLiteral("invalid_idempotent_request"),
                           QStringLiteral("Same idempotency key used with a different request "
                                          "payload.")});
        logRequest(request, 200, receivedAt);
        printReceived(200, {}, QStringLiteral("(repeated, not stored again)"));
        return answerSend(answer, QJsonDocument::fromJson(kept->answer).object(), 200);
    }

    auto outcome = validateSend(headers, request.body, m_options.apiKey);
    if (const auto *valid = std::get_if<AcceptedEmail>(&outcome); valid && m_options.accountOwner) {
        if (auto refused = checkOnboardingSender(*valid, *m_options.accountOwner))
            outcome = *refused;
    }
    const auto *email = std::get_if<AcceptedEmail>(&outcome);
    if (email && !m_options.forcedStatus) {
        if (const auto exceeded = m_limits.admitEmail(now))
            return tooMany(*exceeded);
    }

    int status = email ? 200 : std::get<Rejection>(outcome).status;
    if (m_options.forcedStatus)
        status = *m_options.forcedStatus;
    const bool accepted = email && status >= 200 && status <= 299;

    QJsonObject reply;
    if (status >= 200 && status <= 299)
        reply.insert(QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces));
    else if (!email && !m_options.forcedStatus)
        reply = std::get<Rejection>(outcome).toJson();
    else
        reply = Rejection{status, errorNameForStatus(status),
                          QStringLiteral("Answered with %1 as the inbox was told to.").arg(status)}
                    .toJson();

    logRequest(request, status, receivedAt);
    if (accepted) {
        m_store.addMessage({{QStringLiteral("id"), reply.value(QLatin1String("id"))},
                            {QStringLiteral("receivedAt"), receivedAt},
                            {QStringLiteral("from"), email->from},
                            {QStringLiteral("to"), QJsonArray::fromStringList(email->to)},
                            {QStringLiteral("subject"), email->subject},
                            {QStringLiteral("html"), kept(email->html)},
                            {QStringLiteral("text"), kept(email->text)},
                            {QStringLiteral("headers"), headersJson(headers)},
                            {QStringLiteral("body"), kept(request.body)}});
        m_limits.countEmail(now);
        if (!key.isEmpty())
            m_idempotency.keep(key, request.body,
                               QJsonDocument(reply).toJson(QJsonDocument::Compact), now);
    }
    printReceived(status, email ? email->to : QStringList(), email ? email->subject : QString());
    answerSend(answer, reply, status);
}

void ResendInbox::logRequest(const HttpRequest &request, int status, const QString &receivedAt)
{
    m_store.addRequest({{QStringLiteral("receivedAt"), receivedAt},
                        {QStringLiteral("status"), status},
                        {QStringLiteral("headers"), headersJson(request.head.headers)},
                        {QStringLiteral("body"), kept(request.body)}});
}

void ResendInbox::answerSend(const HttpConnection::Answer &answer, const QJsonObject &body,
                             int status, const HeaderList &headers)
{
    const HttpAnswer reply{status, "application/json", headers,
                           QJsonDocument(body).toJson(QJsonDocument::Compact)};
    if (m_options.delayMs <= 0)
        return answer(reply);
    // A connection gone by then is not answered (see HttpConnection::Answer).
    QTimer::singleShot(m_options.delayMs, this, [answer, reply] { answer(reply); });
}

void ResendInbox::printReceived(int status, const QStringList &to, const QString &subject) const
{
    const QString line =
        QStringLiteral("%1  %2  to: %3  subject: %4\n")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")))
            .arg(status)
            .arg(to.isEmpty() ? QStringLiteral("-") : oneLine(to.join(QStringLiteral(", "))),
                 subject.isEmpty() ? QStringLiteral("-") : oneLine(subject));
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
}
