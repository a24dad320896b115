// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// An HTTP peer on 127.0.0.1 that answers as its script says: the n-th request
// gets the n-th step, every later one the last. It serves one connection at a
// time from its own thread with plain sockets, so it writes at full loopback
// speed whatever the client's event loop does.
class ScriptedPeer
{
public:
    struct Step
    {
        QByteArray answer;                 // sent first; nothing drops the request unanswered
        QByteArray repeated = {};          // then sent again and again, until the client goes away
        std::chrono::milliseconds pause{}; // between two repeats
        bool reset = false;                // ends with a reset rather than an orderly close
    };

    struct Request
    {
        qint64 arrivalMs; // after the peer opened, once the whole request was read
        QByteArray bytes; // head and body as received
    };

    explicit ScriptedPeer(QList<Step> script);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    quint16 port() const { return m_port; }
    QList<Request> requests() const;

private:
    void serve();
    QByteArray readRequest(int client);
    bool sendAll(int client, const QByteArray &bytes);

    const QList<Step> m_script;
    QElapsedTimer m_clock;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop = false;
    mutable std::mutex m_mutex;
    QList<Request> m_requests; // under m_mutex
    std::thread m_thread;
};
