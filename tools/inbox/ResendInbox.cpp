#include "ResendInbox.h"

#include "ConnectionGate.h"
#include "InboxPage.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUuid>

#include <cstdio>
#include <memory>

namespace {

using Status = QHttpServerResponder::StatusCode;

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
{
    m_server.route(QStringLiteral("/emails"), QHttpServerRequest::Method::Post,
                   [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                       receiveSend(request, std::move(responder));
                   });
    m_server.route(QStringLiteral("/api/emails"), QHttpServerRequest::Method::Get,
                   [this] { return QHttpServerResponse(m_store.messagesJson()); });
    m_server.route(QStringLiteral("/api/requests"), QHttpServerRequest::Method::Get,
                   [this] { return QHttpServerResponse(m_store.requestsJson()); });
    m_server.route(QStringLiteral("/api/emails"), QHttpServerRequest::Method::Delete, [this] {
        m_store.clearMessages();
        return QHttpServerResponse(QHttpServerResponder::StatusCode::NoContent);
    });
    for (const InboxPageFile &file : inboxPageFiles()) {
        m_server.route(file.path, QHttpServerRequest::Method::Get, [file] {
            QHttpServerResponse page(file.mimeType, file.content);
            page.setHeader("Content-Security-Policy", inboxPagePolicy);
            page.setHeader("Cache-Control", "no-cache");
            return page;
        });
    }
    m_server.setMissingHandler([](const QHttpServerRequest &, QHttpServerResponder &&responder) {
        const Rejection notFound{404, QStringLiteral("not_found"),
                                 QStringLiteral("The requested endpoint does not exist.")};
        responder.write(QJsonDocument(notFound.toJson()).toJson(QJsonDocument::Compact),
                        "application/json", Status::NotFound);
    });
}

quint16 ResendInbox::listen(quint16 port)
{
    auto *gate =
        new ConnectionGate(maxRequestBodyBytes, ConnectionGate::raiseDescriptorLimit(), this);
    if (!gate->listen(QHostAddress::LocalHost, port))
        return 0;
    m_server.bind(gate);
    return gate->serverPort();
}

void ResendInbox::receiveSend(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString receivedAt = now.toString(Qt::ISODateWithMs);
    const auto refuse = [&](const Rejection &rejection, const Headers &headers = {}) {
        logRequest(request, rejection.status, receivedAt);
        printReceived(rejection.status, {}, {});
        answer(std::move(responder), rejection.toJson(), rejection.status, headers);
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
    const QByteArray key = headerValue(request.headers(), "idempotency-key").value_or(QByteArray());
    if (key.size() > 256)
        return refuse({400, QStringLiteral("invalid_idempotency_key"),
                       QStringLiteral("The key must be between 1-256 chars.")});
    if (const auto kept = key.isEmpty() ? std::nullopt : m_idempotency.find(key, now)) {
        if (kept->bodyHash != IdempotencyCache::hashOf(request.body()))
            return refuse({409, QStringLiteral("invalid_idempotent_request"),
                           QStringLiteral("Same idempotency key used with a different request "
                                          "payload.")});
        logRequest(request, 200, receivedAt);
        printReceived(200, {}, QStringLiteral("(repeated, not stored again)"));
        return answer(std::move(responder), QJsonDocument::fromJson(kept->answer).object(), 200);
    }

    const auto outcome = validateSend(request.headers(), request.body(), m_options.apiKey);
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
                            {QStringLiteral("html"), email->html},
                            {QStringLiteral("text"), email->text},
                            {QStringLiteral("headers"), headersJson(request.headers())},
                            {QStringLiteral("body"), QString::fromUtf8(request.body())}});
        m_limits.countEmail(now);
        if (!key.isEmpty())
            m_idempotency.keep(key, request.body(),
                               QJsonDocument(reply).toJson(QJsonDocument::Compact), now);
    }
    printReceived(status, email ? email->to : QStringList(), email ? email->subject : QString());
    answer(std::move(responder), reply, status);
}

void ResendInbox::logRequest(const QHttpServerRequest &request, int status,
                             const QString &receivedAt)
{
    m_store.addRequest({{QStringLiteral("receivedAt"), receivedAt},
                        {QStringLiteral("status"), status},
                        {QStringLiteral("headers"), headersJson(request.headers())},
                        {QStringLiteral("body"), QString::fromUtf8(request.body())}});
}

void ResendInbox::answer(QHttpServerResponder &&responder, const QJsonObject &body, int status,
                         const Headers &headers)
{
    const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
    const auto code = static_cast<QHttpServerResponder::StatusCode>(status);
    const auto write = [json, code, headers](QHttpServerResponder &out) {
        out.writeStatusLine(code);
        out.writeHeader("Content-Type", "application/json");
        for (const auto &[name, value] : headers)
            out.writeHeader(name, value);
        out.writeHeader("Content-Length", QByteArray::number(json.size()));
        out.writeBody(json);
    };
    if (m_options.delayMs <= 0) {
        write(responder);
        return;
    }
    // The responder is move-only and QTimer wants a copyable callable. The
    // socket is the timer's context, so a client that gave up gets nothing.
    auto pending = std::make_shared<QHttpServerResponder>(std::move(responder));
    QTimer::singleShot(m_options.delayMs, pending->socket(), [pending, write] { write(*pending); });
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
