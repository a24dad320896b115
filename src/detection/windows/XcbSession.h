// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// A reply as the type its request answers with; null for none.
template <typename T> T *replyAs(const XcbReply<void> &reply)
{
    return static_cast<T *>(reply.get());
}

// One short-lived connection to an X server in which no step may block for
// long: the connection is made within a time-out, every batch of requests
// must keep being answered, and the whole session has a time limit. After a
// failure the session stays failed, and says why.
class XcbSession
{
public:
    static constexpr std::chrono::milliseconds connectTimeout{500};
    // A server that sends nothing for this long while requests wait is not
    // answering: stopped, or held by another client's grab.
    static constexpr std::chrono::milliseconds stallTimeout{250};
    static constexpr std::chrono::milliseconds sessionTimeout{2000};

    enum class Failure {
        None,
        Unreachable, // no server there, or it refused the connection
        NoAnswer,    // it stopped answering (connecting, or within stallTimeout)
        Broken,      // the connection broke, e.g. the server ended
        TooLong,     // still answering at the end of sessionTimeout
    };

    // Null when the display cannot be reached in time (or at all); then
    // `failure` says why.
    static std::unique_ptr<XcbSession> open(const QString &display, Failure *failure);
    ~XcbSession();

    XcbSession(const XcbSession &) = delete;
    XcbSession &operator=(const XcbSession &) = delete;

    xcb_connection_t *connection() const { return m_connection; }
    // The root window of every screen of the display, in screen order.
    const std::vector<xcb_window_t> &roots() const { return m_roots; }
    // The bits of a resource id that a client chooses; the others name the client.
    uint32_t resourceIdMask() const { return xcb_get_setup(m_connection)->resource_id_mask; }
    Failure failure() const { return m_failure; }
    bool failed() const { return m_failure != Failure::None; }

    // Flushes the requests behind `sequences` and collects their replies, in
    // order; a request the server answered with an error has a null reply.
    // Empty when they are not all answered (see Failure). For a few requests:
    // more could fill the socket and block a write (see exchange()).
    std::vector<XcbReply<void>> replies(const std::vector<unsigned int> &sequences);

    // The replies, in order, to the requests `issue` makes for each of
    // `count` items (it adds their sequence numbers to the list it is given).
    // No more than maxAhead requests go out ahead of their replies: a server
    // that stops reading (another client grabbed it) then never blocks a
    // write, and is a failure like any other. Empty on a failure.
    using Issue = std::function<void(size_t item, std::vector<unsigned int> &sequences)>;
    std::vector<XcbReply<void>> exchange(size_t count, const Issue &issue);
    static constexpr size_t maxAhead = 2048; // at most 48 KiB of requests

private:
    XcbSession(xcb_connection_t *connection, std::vector<xcb_window_t> roots);

    xcb_connection_t *m_connection;
    std::vector<xcb_window_t> m_roots;
    std::chrono::steady_clock::time_point m_deadline;
    Failure m_failure = Failure::None;
};
