// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/WaylandSession.h"

#include <QFile>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A unix socket's connect completes at once or not at all: a compositor whose
// backlog is full (EAGAIN) is not answering, and nothing ever blocks on it.
int connectWithoutWaiting(const QString &socketPath, WaylandSession::Failure *failure,
                          std::optional<qint64> *peerPid)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    *failure = WaylandSession::Failure::Unreachable;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return -1;
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        if (errno == EAGAIN)
            *failure = WaylandSession::Failure::NoAnswer;
        ::close(socket);
        return -1;
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid > 0)
        *peerPid = peer.pid;
    *failure = WaylandSession::Failure::None;
    return socket;
}

} // namespace

std::unique_ptr<WaylandSession> WaylandSession::open(const QString &socketPath, Failure *failure)
{
    std::optional<qint64> peerPid;
    const int socket = connectWithoutWaiting(socketPath, failure, &peerPid);
    if (socket < 0)
        return nullptr;
    wl_display *display = wl_display_connect_to_fd(socket);
    if (!display) {
        *failure = Failure::Broken;
        return nullptr;
    }
    std::unique_ptr<WaylandSession> session(new WaylandSession(display));
    session->m_compositorPid = peerPid;

    static constexpr wl_registry_listener listener{
        .global =
            [](void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version) {
                static_cast<WaylandSession *>(data)->m_globals.push_back(
                    {name, QByteArray(interface), version});
            },
        .global_remove = [](void *, wl_registry *, uint32_t) {},
    };
    session->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(session->m_registry, &listener, session.get());
    if (!session->roundTrip()) {
        *failure = session->failure();
        return nullptr;
    }
    return session;
}

WaylandSession::WaylandSession(wl_display *display)
    : m_display(display), m_deadline(std::chrono::steady_clock::now() + sessionTimeout)
{}

WaylandSession::~WaylandSession()
{
    // The objects made last (a list's windows) go before the ones they came from.
    for (auto owned = m_owned.rbegin(); owned != m_owned.rend(); ++owned)
        owned->second(owned->first);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

const WaylandSession::Global *WaylandSession::find(const wl_interface &interface) const
{
    const auto global = std::find_if(m_globals.begin(), m_globals.end(), [&](const Global &g) {
        return g.interface == interface.name;
    });
    return global == m_globals.end() ? nullptr : &*global;
}

wl_proxy *WaylandSession::bind(const Global &global, const wl_interface &interface,
                               uint32_t maxVersion)
{
    return static_cast<wl_proxy *>(wl_registry_bind(m_registry, global.name, &interface,
                                                    std::min(global.version, maxVersion)));
}

void WaylandSession::adopt(wl_proxy *proxy, void (*destroy)(wl_proxy *))
{
    m_owned.emplace_back(proxy, destroy);
}

bool WaylandSession::roundTrip()
{
    using Clock = std::chrono::steady_clock;
    if (m_failure != Failure::None)
        return false;
    bool done = false;
    static constexpr wl_callback_listener listener{
        .done = [](void *data, wl_callback *, uint32_t) { *static_cast<bool *>(data) = true; },
    };
    wl_callback *callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &listener, &done);
    auto lastAnswer = Clock::now();
    while (!done && m_failure == Failure::None) {
        // Events already read are handled first; a read is prepared only on an
        // empty queue, as libwayland requires.
        if (wl_display_dispatch_pending(m_display) < 0) {
            m_failure = Failure::Broken;
            break;
        }
        if (done || wl_display_prepare_read(m_display) != 0)
            continue;
        const bool unsent = wl_display_flush(m_display) < 0;
        if (unsent && errno != EAGAIN) {
            wl_display_cancel_read(m_display);
            m_failure = Failure::Broken;
            break;
        }
        const auto now = Clock::now();
        if (now >= m_deadline || now - lastAnswer >= stallTimeout) {
            wl_display_cancel_read(m_display);
            m_failure = now >= m_deadline ? Failure::TooLong : Failure::NoAnswer;
            break;
        }
        const auto wait = std::min(m_deadline, lastAnswer + stallTimeout) - now;
        pollfd socket{wl_display_get_fd(m_display), short(POLLIN | (unsent ? POLLOUT : 0)), 0};
        poll(&socket, 1, int(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
        if (socket.revents & (POLLIN | POLLHUP | POLLERR)) {
            if (wl_display_read_events(m_display) < 0)
                m_failure = Failure::Broken;
            lastAnswer = Clock::now();
        } else {
            wl_display_cancel_read(m_display);
        }
    }
    wl_callback_destroy(callback);
    return m_failure == Failure::None;
}
