// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_proxy;
struct wl_registry;

// One short-lived client connection to a Wayland compositor in which no step
// may block for long, like XcbSession: the socket is connected without
// waiting, every round trip must keep being answered, and the whole session
// has a time limit. After a failure the session stays failed, and says why.
// The objects it binds or is handed are destroyed with it.
class WaylandSession
{
public:
    static constexpr std::chrono::milliseconds stallTimeout{250};
    static constexpr std::chrono::milliseconds sessionTimeout{2000};

    enum class Failure {
        None,
        Unreachable, // no compositor listens on the socket
        NoAnswer,    // it stopped answering within stallTimeout
        Broken,      // the connection broke, e.g. a protocol error
        TooLong,     // still answering at the end of sessionTimeout
    };

    struct Global
    {
        uint32_t name;
        QByteArray interface;
        uint32_t version;
    };

    // Connected to the socket at `socketPath`, with the compositor's globals
    // read; null on a failure, which `failure` then tells.
    static std::unique_ptr<WaylandSession> open(const QString &socketPath, Failure *failure);
    ~WaylandSession();

    WaylandSession(const WaylandSession &) = delete;
    WaylandSession &operator=(const WaylandSession &) = delete;

    const std::vector<Global> &globals() const { return m_globals; }
    // The first global offering `interface`; null when the compositor offers none.
    const Global *find(const wl_interface &interface) const;
    // `global`, bound as `interface` at most at `maxVersion`.
    wl_proxy *bind(const Global &global, const wl_interface &interface, uint32_t maxVersion);
    // Keeps `proxy` (an object the compositor created, or one bound) until the
    // session ends, when `destroy` releases it.
    void adopt(wl_proxy *proxy, void (*destroy)(wl_proxy *));

    // Waits until the compositor has handled every request sent so far and
    // its events are dispatched; false on a failure.
    bool roundTrip();

    // The compositor's process, as the kernel tells of the socket's peer.
    std::optional<qint64> compositorPid() const { return m_compositorPid; }
    Failure failure() const { return m_failure; }

private:
    explicit WaylandSession(wl_display *display);

    wl_display *m_display;
    wl_registry *m_registry = nullptr;
    std::vector<Global> m_globals;
    std::vector<std::pair<wl_proxy *, void (*)(wl_proxy *)>> m_owned;
    std::optional<qint64> m_compositorPid;
    std::chrono::steady_clock::time_point m_deadline;
    Failure m_failure = Failure::None;
};
