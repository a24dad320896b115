#pragma once

#include "MessageStore.h"
#include "SendValidation.h"

#include <QHttpServer>
#include <QObject>

#include <optional>

struct InboxOptions
{
    std::optional<QString> apiKey;   // accept only this bearer key; any non-empty key when unset
    std::optional<int> forcedStatus; // answer every send with this status
    int delayMs = 0;                 // wait this long before answering a send
    qsizetype maxMessages = 500;     // messages (and requests) kept in memory
};

// A Resend-compatible inbox on the loopback interface:
//   POST /emails       validated like the provider; accepted messages are kept
//   GET  /api/emails   accepted messages as JSON, newest first
//   GET  /api/requests every POST /emails with its answer status, newest first
//   GET  /             the messages as a readable page
class ResendInbox : public QObject
{
    Q_OBJECT

public:
    explicit ResendInbox(const InboxOptions &options, QObject *parent = nullptr);

    // Listens on 127.0.0.1; returns the bound port, or 0 on failure.
    quint16 listen(quint16 port);

private:
    void receiveSend(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    void answer(QHttpServerResponder &&responder, const QJsonObject &body, int status);
    void printReceived(int status, const QStringList &to, const QString &subject) const;

    InboxOptions m_options;
    MessageStore m_store;
    QHttpServer m_server;
};
