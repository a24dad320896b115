#pragma once

#include <QString>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// One short-lived connection to an X server in which no step may block for
// long: the connection is made within a time-out, and every batch of requests
// must be answered within one. After a time-out the session stays failed.
class XcbSession
{
public:
    static constexpr std::chrono::milliseconds connectTimeout{500};
    static constexpr std::chrono::milliseconds requestTimeout{250};

    // Null when the display cannot be reached in time (or at all).
    static std::unique_ptr<XcbSession> open(const QString &display);
    ~XcbSession();

    XcbSession(const XcbSession &) = delete;
    XcbSession &operator=(const XcbSession &) = delete;

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    bool failed() const { return m_failed; }

    // Flushes the requests behind `sequences` and collects their replies, in
    // order; a request the server answered with an error has a null reply.
    // Empty when the server does not answer them all within requestTimeout.
    std::vector<XcbReply<void>> replies(const std::vector<unsigned int> &sequences);

private:
    XcbSession(xcb_connection_t *connection, xcb_window_t root);

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    bool m_failed = false;
};
