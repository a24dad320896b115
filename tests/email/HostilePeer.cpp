#include "HostilePeer.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

int listenOnLoopback(quint16 &port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length))
        qFatal("HostilePeer: cannot listen on 127.0.0.1");
    port = ntohs(address.sin_port);
    return fd;
}

bool readable(int fd, int timeoutMs)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}

} // namespace

HostilePeer::HostilePeer(Answer answer) : m_answer(answer)
{
    m_listener = listenOnLoopback(m_port);
    m_elsewhere = listenOnLoopback(m_elsewherePort);
    m_thread = std::thread([this] { serve(); });
}

HostilePeer::~HostilePeer()
{
    m_stop = true;
    m_thread.join();
    close(m_listener);
    close(m_elsewhere);
}

void HostilePeer::serve()
{
    while (!m_stop) {
        if (readable(m_elsewhere, 0)) {
            close(accept4(m_elsewhere, nullptr, nullptr, SOCK_CLOEXEC));
            ++m_redirected;
        }
        if (!readable(m_listener, 20))
            continue;
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            answer(client);
            close(client);
        }
    }
}

bool HostilePeer::sendAll(int client, const char *data, size_t size)
{
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

void HostilePeer::answer(int client)
{
    // The request: headers, then the declared body, which is small here.
    QByteArray request;
    char buffer[4096];
    while (!m_stop && !request.contains("\r\n\r\n") && request.size() < (1 << 20)) {
        if (!readable(client, 20))
            continue;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, got);
    }

    const auto send = [&](const QByteArray &bytes) {
        return sendAll(client, bytes.constData(), size_t(bytes.size()));
    };
    const QByteArray block(64 * 1024, 'x');
    switch (m_answer) {
    case Answer::HugeDeclaredLength:
        if (send("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                 "Content-Length: 2147483648\r\n\r\n"))
            while (send(block)) {
            }
        return;
    case Answer::EndlessChunked:
        if (send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"))
            while (send("10000\r\n" + block + "\r\n")) {
            }
        return;
    case Answer::Trickle:
        if (send("HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n"))
            while (send("x"))
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return;
    case Answer::EndlessHeaders:
        if (send("HTTP/1.1 200 OK\r\n"))
            while (send("X-Padding: " + QByteArray(100, 'a') + "\r\n")) {
            }
        return;
    case Answer::ResetMidBody: {
        send("HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + QByteArray(1000, 'x'));
        // A zero linger time makes close() send a reset instead of an orderly end.
        const linger reset{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        return;
    }
    case Answer::RedirectElsewhere:
        if (send("HTTP/1.1 307 Temporary Redirect\r\nLocation: http://127.0.0.1:" +
                 QByteArray::number(m_elsewherePort) + "/emails\r\nContent-Length: 0\r\n\r\n"))
            while (!m_stop && !readable(client, 20)) {
            }
        return;
    case Answer::SwitchingProtocols:
        if (send("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                 "Connection: Upgrade\r\n\r\n"))
            while (send(block)) {
            }
        return;
    case Answer::Status999:
        send("HTTP/1.1 999 Unheard Of\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
             "\r\n{}");
        while (!m_stop && !readable(client, 20)) {
        }
        return;
    case Answer::StatusLineOnly:
        send("HTTP/1.1 200 OK\r\n");
        return;
    case Answer::CutInHeaders:
        send("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Len");
        return;
    case Answer::Empty200:
        send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        return;
    case Answer::Html200:
        send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 27\r\n\r\n"
             "<html><h1>Hello</h1></html>");
        return;
    case Answer::Http10WithoutBody:
        send("HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n");
        return;
    case Answer::EmptyId200:
        send("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 9\r\n\r\n"
             "{\"id\":\"\"}");
        return;
    }
}
