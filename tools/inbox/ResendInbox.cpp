#include "ResendInbox.h"

#include "InboxPage.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPromise>
#include <QTimer>
#include <QUuid>

#include <cstdio>
#include <memory>

namespace {

using Status = QHttpServerResponder::StatusCode;

// Shows the scheme and the key's length, never the key: the page and the JSON
// may be opened by anyone on this machine.
QString maskedAuthorization(const QByteArray &value)
{
    const qsizetype space = value.indexOf(' ');
    const QByteArray scheme = space < 0 ? QByteArray() : value.left(space + 1);
    return QString::fromUtf8(scheme) + QString(value.size() - scheme.size(), QLatin1Char('*'));
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

QHttpServerResponse jsonResponse(const QJsonObject &body, int status)
{
    return QHttpServerResponse(body, static_cast<Status>(status));
}

} // namespace

ResendInbox::ResendInbox(const InboxOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_store(options.maxMessages)
{
    m_server.route(QStringLiteral("/emails"), QHttpServerRequest::Method::Post,
                   [this](const QHttpServerRequest &request) { return receiveSend(request); });
    m_server.route(QStringLiteral("/api/emails"), QHttpServerRequest::Method::Get,
                   [this] { return QHttpServerResponse(m_store.messagesJson()); });
    m_server.route(QStringLiteral("/api/requests"), QHttpServerRequest::Method::Get,
                   [this] { return QHttpServerResponse(m_store.requestsJson()); });
    m_server.route(QStringLiteral("/"), QHttpServerRequest::Method::Get, [this] {
        QHttpServerResponse page("text/html; charset=utf-8", renderInboxPage(m_store.messages()));
        page.setHeader("Content-Security-Policy", inboxPagePolicy);
        return page;
    });
    m_server.setMissingHandler([](const QHttpServerRequest &, QHttpServerResponder &&responder) {
        const Rejection notFound{404, QStringLiteral("not_found"),
                                 QStringLiteral("The requested endpoint does not exist.")};
        responder.write(QJsonDocument(notFound.toJson()).toJson(QJsonDocument::Compact),
                        "application/json", Status::NotFound);
    });
}

quint16 ResendInbox::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

QFuture<QHttpServerResponse> ResendInbox::receiveSend(const QHttpServerRequest &request)
{
    const QString receivedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    const auto outcome = validateSend(request.headers(), request.body(), m_options.apiKey);
    const auto *email = std::get_if<AcceptedEmail>(&outcome);

    int status = email ? 200 : std::get<Rejection>(outcome).status;
    if (m_options.forcedStatus)
        status = *m_options.forcedStatus;
    const bool accepted = email && status >= 200 && status <= 299;

    QJsonObject answer;
    if (status >= 200 && status <= 299)
        answer.insert(QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces));
    else if (!email && !m_options.forcedStatus)
        answer = std::get<Rejection>(outcome).toJson();
    else
        answer = Rejection{status, errorNameForStatus(status),
                           QStringLiteral("Answered with %1 as the inbox was told to.").arg(status)}
                     .toJson();

    const QJsonObject headers = headersJson(request.headers());
    const QString rawBody = QString::fromUtf8(request.body());
    QJsonObject logged{{QStringLiteral("receivedAt"), receivedAt},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("headers"), headers},
                       {QStringLiteral("body"), rawBody}};
    if (accepted) {
        logged.insert(QStringLiteral("id"), answer.value(QLatin1String("id")));
        m_store.addMessage({{QStringLiteral("id"), answer.value(QLatin1String("id"))},
                            {QStringLiteral("receivedAt"), receivedAt},
                            {QStringLiteral("from"), email->from},
                            {QStringLiteral("to"), QJsonArray::fromStringList(email->to)},
                            {QStringLiteral("subject"), email->subject},
                            {QStringLiteral("html"), email->html},
                            {QStringLiteral("text"), email->text},
                            {QStringLiteral("headers"), headers},
                            {QStringLiteral("body"), rawBody}});
    }
    m_store.addRequest(logged);
    printReceived(status, email ? email->to : QStringList(), email ? email->subject : QString());
    return answerLater(jsonResponse(answer, status));
}

QFuture<QHttpServerResponse> ResendInbox::answerLater(QHttpServerResponse &&response)
{
    auto promise = std::make_shared<QPromise<QHttpServerResponse>>();
    QFuture<QHttpServerResponse> future = promise->future();
    promise->start();
    if (m_options.delayMs <= 0) {
        promise->addResult(std::move(response));
        promise->finish();
        return future;
    }
    // QTimer needs a copyable callable; the response itself is move-only.
    auto pending = std::make_shared<QHttpServerResponse>(std::move(response));
    QTimer::singleShot(m_options.delayMs, this, [promise, pending] {
        promise->addResult(std::move(*pending));
        promise->finish();
    });
    return future;
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
