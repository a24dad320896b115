// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpConnection.h"

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>

#include <sys/socket.h>

namespace {

// How long the rest of what a client sends is read and dropped after a
// refusal, before the connection is closed all the same.
constexpr std::chrono::milliseconds lingerTime{2'000};

bool isLoopbackHost(const QByteArray &host, quint16 port)
{
    const qsizetype colon = host.lastIndexOf(':');
    if (colon < 0 || host.mid(colon + 1) != QByteArray::number(port))
        return false;
    QByteArray name = host.left(colon).toLower();
    if (name == "localhost")
        return true;
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.mid(1, name.size() - 2);
    const QHostAddress address(QString::fromLatin1(name));
    return !address.isNull() && address.isLoopback();
}

} // namespace

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases{
        {200, "OK"},
        {201, "Created"},
        {204, "No Content"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {411, "Length Required"},
        {413, "Content Too Large"},
        {421, "Misdirected Request"},
        {422, "Unprocessable Content"},
        {429, "Too Many Requests"},
        {431, "Request Header Fields Too Large"},
        {500, "Internal Server Error"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {505, "HTTP Version Not Supported"},
    };
    return phrases.value(status, "Status");
}

HttpConnection::HttpConnection(QTcpSocket *socket, const HttpLimits &limits, Handler handler,
                               QObject *parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_handler(std::move(handler))
{
    m_socket->setParent(this);
    // Qt reads no further ahead than this; the rest waits in the kernel, and a
    // client sending regardless is held back by TCP's flow control.
    m_socket->setReadBufferSize(m_limits.maxHeadBytes);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_state == State::Head || m_state == State::Body)
            refuse(408, "Request Timeout");
        else if (m_state != State::Handling)
            close();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequest);
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if ((m_state == State::Sending || m_state == State::Closing) &&
            m_socket->bytesToWrite() == 0)
            sent();
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_state = State::Closing;
        m_timer.stop();
        emit closed();
        deleteLater();
    });
    m_timer.start(m_limits.idle);
    readRequest();
}

void HttpConnection::close()
{
    // Between requests an orderly end, which a client reusing the connection
    // takes as a cue to retry; otherwise at once, whatever is unsent.
    const bool idle = m_state == State::Idle;
    m_state = State::Closing;
    idle ? m_socket->disconnectFromHost() : m_socket->abort();
}

void HttpConnection::readRequest()
{
    if (m_state == State::Lingering) {
        m_socket->skip(m_socket->bytesAvailable());
        return;
    }
    if (m_state == State::Idle || m_state == State::Head) {
        m_buffer += m_socket->read(std::max<qint64>(0, m_limits.maxHeadBytes - m_buffer.size()));
        if (m_buffer.isEmpty())
            return;
        if (m_state == State::Idle) {
            m_state = State::Head;
            m_timer.start(m_limits.receive);
        }
        const auto parsed = parseRequestHead(m_buffer, m_limits.maxHeadBytes);
        if (const auto *refusal = std::get_if<HeadRefusal>(&parsed))
            return refuse(refusal->status, refusal->reason);
        const auto *head = std::get_if<RequestHead>(&parsed);
        if (head == nullptr)
            return; // more of the head is on its way
        // Both decided before a byte of the body is read.
        if (!isLoopbackHost(head->host, m_limits.port))
            return refuse(421, "Misdirected Request");
        if (head->contentLength > m_limits.maxBodyBytes)
            return refuse(413, "Content Too Large");
        m_head = *head;
        m_buffer.remove(0, m_head.size);
        m_state = State::Body;
    }
    if (m_state != State::Body)
        return; // the next request waits until this one is answered

    const qint64 missing = m_head.contentLength - m_buffer.size();
    if (missing > 0) {
        m_buffer.reserve(m_head.contentLength);
        m_buffer += m_socket->read(missing);
        if (m_buffer.size() < m_head.contentLength)
            return;
    }
    HttpRequest request{m_head, {}};
    if (m_buffer.size() == m_head.contentLength) {
        request.body = std::exchange(m_buffer, {});
    } else { // the start of a next request came with this one
        request.body = m_buffer.first(m_head.contentLength);
        m_buffer.remove(0, m_head.contentLength);
    }
    m_state = State::Handling;
    m_timer.stop();
    m_handler(request, [connection = QPointer(this)](const HttpAnswer &answer) {
        if (connection && connection->m_state == State::Handling)
            connection->send(answer, !connection->m_head.keepAlive);
    });
}

void HttpConnection::send(const HttpAnswer &answer, bool closeAfter)
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                       reasonPhrase(answer.status) + "\r\n";
    if (!answer.contentType.isEmpty())
        bytes += "Content-Type: " + answer.contentType + "\r\n";
    for (const auto &[name, value] : answer.headers)
        bytes += name + ": " + value + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    if (closeAfter)
        bytes += "Connection: close\r\n";
    bytes += "\r\n" + answer.body;
    m_state = closeAfter ? State::Closing : State::Sending;
    m_timer.start(m_limits.send);
    m_socket->write(bytes);
}

void HttpConnection::refuse(int status, const char *reason)
{
    const QByteArray body = R"({"statusCode":)" + QByteArray::number(status) +
                            R"(,"name":"request_refused","message":")" + reason + R"("})";
    send({status, "application/json", {}, body}, true);
}

void HttpConnection::sent()
{
    if (m_state == State::Closing) {
        // Closed with unread bytes, the connection would be reset, and the
        // client might lose the answer before reading it: the rest of what it
        // sends is read and dropped until it closes, for a short while.
        shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
        m_state = State::Lingering;
        m_timer.start(lingerTime);
        readRequest();
        return;
    }
    m_state = State::Idle;
    m_timer.start(m_limits.idle);
    // Whatever of the next request already arrived is read now.
    QMetaObject::invokeMethod(this, &HttpConnection::readRequest, Qt::QueuedConnection);
}
