#pragma once

#include <QtGlobal>

#include <atomic>
#include <thread>

// An HTTP server on 127.0.0.1 that answers every request in one hostile way,
// from its own thread with plain sockets, so it writes at full loopback speed
// whatever the client's event loop does.
class HostilePeer
{
public:
    enum class Answer {
        HugeDeclaredLength, // Content-Length of 2 GiB, then bytes without end
        EndlessChunked,     // chunks without end
        Trickle,            // one body byte every 200 ms
        EndlessHeaders,     // header lines without end
        ResetMidBody,       // part of the declared body, then a reset
        RedirectElsewhere,  // 307 to another port of this machine
        SwitchingProtocols, // 101, then bytes without end
        Status999,          // a status no HTTP version defines
        StatusLineOnly,     // "200 OK", then the connection closes
        CutInHeaders,       // closes in the middle of a header line
        Empty200,           // 200 with an empty body
        Html200,            // 200 with a web page
        Http10WithoutBody,  // HTTP/1.0 200, no body, then the connection closes
        EmptyId200,         // 200 whose JSON names an empty id
    };

    explicit HostilePeer(Answer answer);
    ~HostilePeer();
    HostilePeer(const HostilePeer &) = delete;
    HostilePeer &operator=(const HostilePeer &) = delete;

    quint16 port() const { return m_port; }
    // Connections that reached the redirect's target.
    int redirectedConnections() const { return m_redirected; }

private:
    void serve();
    void answer(int client);
    bool sendAll(int client, const char *data, size_t size);

    const Answer m_answer;
    int m_listener = -1;
    int m_elsewhere = -1;
    quint16 m_port = 0;
    quint16 m_elsewherePort = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_redirected = 0;
    std::thread m_thread;
};
