// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedPeer.h"

#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool readable(int fd, int timeoutMs)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}

} // namespace

ScriptedPeer::ScriptedPeer(QList<Step> script) : m_script(std::move(script))
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_script.isEmpty() || m_listener < 0 ||
        bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(m_listener, 16) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        qFatal("ScriptedPeer: no script, or cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_clock.start();
    m_thread = std::thread([this] { serve(); });
}

ScriptedPeer::~ScriptedPeer()
{
    m_stop = true;
    m_thread.join();
    close(m_listener);
}

QList<ScriptedPeer::Request> ScriptedPeer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedPeer::serve()
{
    while (!m_stop) {
        if (!readable(m_listener, 20))
            continue;
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        if (QByteArray request = readRequest(client); !request.isEmpty()) {
            qsizetype index;
            {
                const std::lock_guard lock(m_mutex);
                m_requests.append({m_clock.elapsed(), std::move(request)});
                index = std::min(m_requests.size(), m_script.size()) - 1;
            }
            const Step &step = m_script[index];
            if (sendAll(client, step.answer) && !step.repeated.isEmpty()) {
                while (sendAll(client, step.repeated))
                    std::this_thread::sleep_for(step.pause);
            }
            // A zero linger time makes close() send a reset instead of an orderly end.
            const linger reset{1, 0};
            if (step.reset)
                setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        close(client);
    }
}

QByteArray ScriptedPeer::readRequest(int client)
{
    static const QRegularExpression declaredLength(QStringLiteral("\r\ncontent-length: *(\\d+)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    QByteArray request;
    qsizetype whole = -1; // head and body, once the head is in
    char buffer[4096];
    while (!m_stop && (whole < 0 || request.size() < whole)) {
        if (!readable(client, 20))
            continue;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return {};
        request.append(buffer, got);
        if (const qsizetype end = request.indexOf("\r\n\r\n"); whole < 0 && end >= 0) {
            const auto match = declaredLength.match(QString::fromLatin1(request.first(end)));
            whole = end + 4 + match.captured(1).toLongLong();
        }
    }
    return request;
}

bool ScriptedPeer::sendAll(int client, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    size_t size = size_t(bytes.size());
    while (size > 0 && !m_stop) {
        pollfd entry{client, POLLOUT, 0};
        if (poll(&entry, 1, 20) <= 0)
            continue;
        const ssize_t sent = send(client, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return false; // the client went away
        if (sent > 0) {
            data += sent;
            size -= size_t(sent);
        }
    }
    return !m_stop;
}
