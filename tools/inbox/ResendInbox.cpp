#include "ResendInbox.h"

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
    : QObject(parent), m_options(options), m_store(options.maxMessages)
{
    m_server.route(QStringLiteral("/emails"), QHttpServerRequest::Method::Post,
                   [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                       receiveSend(request, std::move(responder));
                   });
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

void ResendInbox::receiveSend(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const QString receivedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    const auto outcome = validateSend(request.headers(), request.body(), m_options.apiKey);
    const auto *email = std::get_if<AcceptedEmail>(&outcome);

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

    const QJsonObject headers = headersJson(request.headers());
    const QString rawBody = QString::fromUtf8(request.body());
    QJsonObject logged{{QStringLiteral("receivedAt"), receivedAt},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("headers"), headers},
                       {QStringLiteral("body"), rawBody}};
    if (accepted) {
        logged.insert(QStringLiteral("id"), reply.value(QLatin1String("id")));
        m_store.addMessage({{QStringLiteral("id"), reply.value(QLatin1String("id"))},
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
    answer(std::move(responder), reply, status);
}

void ResendInbox::answer(QHttpServerResponder &&responder, const QJsonObject &body, int status)
{
    const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
    const auto code = static_cast<QHttpServerResponder::StatusCode>(status);
    if (m_options.delayMs <= 0) {
        responder.write(json, "application/json", code);
        return;
    }
    // The responder is move-only and QTimer wants a copyable callable. The
    // socket is the timer's context, so a client that gave up gets nothing.
    auto pending = std::make_shared<QHttpServerResponder>(std::move(responder));
    QTimer::singleShot(m_options.delayMs, pending->socket(),
                       [pending, json, code] { pending->write(json, "application/json", code); });
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
