// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RequestHead.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class QTcpSocket;

// One whole request: its head and exactly the body it declared.
struct HttpRequest
{
    RequestHead head;
    QByteArray body;
};

struct HttpAnswer
{
    int status = 200;
    QByteArray contentType; // none when empty
    HeaderList headers;
    QByteArray body;
};

// What every request of a connection must keep to.
struct HttpLimits
{
    qsizetype maxHeadBytes = 64 * 1024;
    qint64 maxBodyBytes = 0;
    quint16 port = 0;                      // a Host must name it, with a loopback name or address
    std::chrono::milliseconds idle{5'000}; // between requests, before the first byte
    std::chrono::milliseconds receive{10'000}; // from a request's first byte to its last
    std::chrono::milliseconds send{30'000};    // for an answer to leave
};

// One HTTP/1.1 connection to the inbox. Requests are read one at a time, each
// head by parseRequestHead, and each is refused before its body is read when
// its Host is not this inbox's (421) or its body is over the limit (413); a
// request is handed on only once its whole body is in. The next request is
// read only after the answer to this one has left, so a client that sends
// without reading cannot make the inbox hold answers. A connection that is
// idle, slow to send its request (408) or slow to take its answer is closed.
// Answers close the connection after an HTTP/1.0 request, "Connection: close"
// or a refused head.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(const HttpAnswer &)>;
    // Called with each request and the one way to answer it, now or later;
    // answering a connection that is gone does nothing.
    using Handler = std::function<void(const HttpRequest &, Answer)>;

    // Takes ownership of the connected socket.
    HttpConnection(QTcpSocket *socket, const HttpLimits &limits, Handler handler,
                   QObject *parent = nullptr);

    // Whether it waits for a next request with nothing of it received yet.
    bool isIdle() const { return m_state == State::Idle && m_buffer.isEmpty(); }
    void close();

signals:
    void closed();

private:
    enum class State { Idle, Head, Body, Handling, Sending, Closing, Lingering };

    void readRequest();
    void send(const HttpAnswer &answer, bool closeAfter);
    void refuse(int status, const char *reason);
    void sent();

    QTcpSocket *m_socket;
    const HttpLimits m_limits;
    const Handler m_handler;
    State m_state = State::Idle;
    QByteArray m_buffer; // received and not yet taken by a request
    RequestHead m_head;  // of the request being read or handled
    QTimer m_timer;
};

// "OK", "Not Found"...: the reason phrase for a status line.
QByteArray reasonPhrase(int status);
