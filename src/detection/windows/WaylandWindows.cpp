// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/WaylandWindows.h"

#include "detection/windows/WaylandSession.h"

#include <ext-foreign-toplevel-list-v1-client-protocol.h>
#include <wayland-client.h>
#include <wlr-foreign-toplevel-management-unstable-v1-client-protocol.h>

#include <deque>

using namespace Qt::StringLiterals;

namespace {

// One toplevel as its handle's events describe it. Both protocols send a
// window's whole state right after announcing it, so one round trip after
// binding the list reads every window.
struct Toplevel
{
    QString identifier;
    QString title;
    QString appId;
    bool closed = false;
};

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8).simplified();
}

struct Listing
{
    WaylandSession &session;
    std::deque<Toplevel> toplevels{}; // the handles' listener data: never moved
    bool finished = false;            // the compositor ended the list (it keeps it to itself)
};

template <typename Proxy> void destroyAs(wl_proxy *proxy, void (*destroy)(Proxy *))
{
    destroy(reinterpret_cast<Proxy *>(proxy));
}

bool listExt(Listing &listing)
{
    const auto *global = listing.session.find(ext_foreign_toplevel_list_v1_interface);
    if (!global)
        return false;
    auto *list = reinterpret_cast<ext_foreign_toplevel_list_v1 *>(
        listing.session.bind(*global, ext_foreign_toplevel_list_v1_interface, 1));
    listing.session.adopt(reinterpret_cast<wl_proxy *>(list), [](wl_proxy *proxy) {
        destroyAs(proxy, ext_foreign_toplevel_list_v1_destroy);
    });
    static constexpr ext_foreign_toplevel_handle_v1_listener handleListener{
        .closed =
            [](void *data, ext_foreign_toplevel_handle_v1 *) {
                static_cast<Toplevel *>(data)->closed = true;
            },
        .done = [](void *, ext_foreign_toplevel_handle_v1 *) {},
        .title = [](void *data, ext_foreign_toplevel_handle_v1 *,
                    const char *title) { static_cast<Toplevel *>(data)->title = text(title); },
        .app_id = [](void *data, ext_foreign_toplevel_handle_v1 *,
                     const char *id) { static_cast<Toplevel *>(data)->appId = text(id); },
        .identifier = [](void *data, ext_foreign_toplevel_handle_v1 *,
                         const char *id) { static_cast<Toplevel *>(data)->identifier = text(id); },
    };
    static constexpr ext_foreign_toplevel_list_v1_listener listListener{
        .toplevel =
            [](void *data, ext_foreign_toplevel_list_v1 *, ext_foreign_toplevel_handle_v1 *handle) {
                auto &listing = *static_cast<Listing *>(data);
                listing.session.adopt(reinterpret_cast<wl_proxy *>(handle), [](wl_proxy *proxy) {
                    destroyAs(proxy, ext_foreign_toplevel_handle_v1_destroy);
                });
                ext_foreign_toplevel_handle_v1_add_listener(handle, &handleListener,
                                                            &listing.toplevels.emplace_back());
            },
        .finished =
            [](void *data, ext_foreign_toplevel_list_v1 *) {
                static_cast<Listing *>(data)->finished = true;
            },
    };
    ext_foreign_toplevel_list_v1_add_listener(list, &listListener, &listing);
    return true;
}

bool listWlr(Listing &listing)
{
    const auto *global = listing.session.find(zwlr_foreign_toplevel_manager_v1_interface);
    if (!global)
        return false;
    auto *manager = reinterpret_cast<zwlr_foreign_toplevel_manager_v1 *>(
        listing.session.bind(*global, zwlr_foreign_toplevel_manager_v1_interface, 3));
    listing.session.adopt(reinterpret_cast<wl_proxy *>(manager), [](wl_proxy *proxy) {
        destroyAs(proxy, zwlr_foreign_toplevel_manager_v1_destroy);
    });
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener{
        .title = [](void *data, zwlr_foreign_toplevel_handle_v1 *,
                    const char *title) { static_cast<Toplevel *>(data)->title = text(title); },
        .app_id = [](void *data, zwlr_foreign_toplevel_handle_v1 *,
                     const char *id) { static_cast<Toplevel *>(data)->appId = text(id); },
        .output_enter = [](void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {},
        .output_leave = [](void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {},
        // Maximized, minimized, activated, fullscreen: nothing an overlay shows.
        .state = [](void *, zwlr_foreign_toplevel_handle_v1 *, wl_array *) {},
        .done = [](void *, zwlr_foreign_toplevel_handle_v1 *) {},
        .closed =
            [](void *data, zwlr_foreign_toplevel_handle_v1 *) {
                static_cast<Toplevel *>(data)->closed = true;
            },
        .parent = [](void *, zwlr_foreign_toplevel_handle_v1 *,
                     zwlr_foreign_toplevel_handle_v1 *) {},
    };
    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener{
        .toplevel =
            [](void *data, zwlr_foreign_toplevel_manager_v1 *,
               zwlr_foreign_toplevel_handle_v1 *handle) {
                auto &listing = *static_cast<Listing *>(data);
                listing.session.adopt(reinterpret_cast<wl_proxy *>(handle), [](wl_proxy *proxy) {
                    destroyAs(proxy, zwlr_foreign_toplevel_handle_v1_destroy);
                });
                auto &toplevel = listing.toplevels.emplace_back();
                // This protocol names no window: its place in the list does.
                toplevel.identifier = u"toplevel %1"_s.arg(listing.toplevels.size());
                zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, &toplevel);
            },
        .finished =
            [](void *data, zwlr_foreign_toplevel_manager_v1 *) {
                static_cast<Listing *>(data)->finished = true;
            },
    };
    zwlr_foreign_toplevel_manager_v1_add_listener(manager, &managerListener, &listing);
    return true;
}

QString failureText(WaylandSession::Failure failure, const QString &socketPath)
{
    switch (failure) {
    case WaylandSession::Failure::None:
        break;
    case WaylandSession::Failure::Unreachable:
        return u"windows: the Wayland compositor at %1 cannot be reached"_s.arg(socketPath);
    case WaylandSession::Failure::NoAnswer:
        return u"windows: the Wayland compositor at %1 stopped answering"_s.arg(socketPath);
    case WaylandSession::Failure::Broken:
        return u"windows: the connection to the Wayland compositor at %1 broke during the scan"_s
            .arg(socketPath);
    case WaylandSession::Failure::TooLong:
        return u"windows: the windows of the Wayland compositor at %1 could not all be read "
               u"within %2 ms"_s.arg(socketPath,
                                     QString::number(WaylandSession::sessionTimeout.count()));
    }
    return {};
}

} // namespace

WaylandWindowList waylandWindows(const QString &socketPath, QStringList *limits)
{
    WaylandSession::Failure failure = WaylandSession::Failure::None;
    const auto session = WaylandSession::open(socketPath, &failure);
    if (!session) {
        *limits << failureText(failure, socketPath);
        return {};
    }
    WaylandWindowList list{.compositorPid = session->compositorPid()};
    Listing listing{*session};
    if (!listExt(listing) && !listWlr(listing))
        return list;
    if (!session->roundTrip()) {
        *limits << failureText(session->failure(), socketPath);
        return list;
    }
    // A compositor may keep the list to a client of its own choosing: it then
    // ends it at once, and has listed nothing.
    list.listed = !listing.finished || !listing.toplevels.empty();
    for (const Toplevel &toplevel : listing.toplevels) {
        if (toplevel.closed)
            continue;
        // The app id names the program as WM_CLASS does on X11, and, as on
        // GTK's X11 windows, the desktop entry it was started from.
        list.windows.append({.className = toplevel.appId,
                             .applicationId = toplevel.appId,
                             .id = toplevel.identifier,
                             .title = toplevel.title});
    }
    return list;
}

QList<QSize> waylandOutputs(const QString &socketPath)
{
    WaylandSession::Failure failure = WaylandSession::Failure::None;
    const auto session = WaylandSession::open(socketPath, &failure);
    if (!session)
        return {};
    std::deque<QSize> sizes;
    static constexpr wl_output_listener listener{
        .geometry = [](void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t,
                       const char *, const char *, int32_t) {},
        .mode =
            [](void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
                if (flags & WL_OUTPUT_MODE_CURRENT)
                    *static_cast<QSize *>(data) = QSize(width, height);
            },
        .done = [](void *, wl_output *) {},
        .scale = [](void *, wl_output *, int32_t) {},
        .name = [](void *, wl_output *, const char *) {},
        .description = [](void *, wl_output *, const char *) {},
    };
    for (const WaylandSession::Global &global : session->globals()) {
        if (global.interface != wl_output_interface.name)
            continue;
        auto *output = reinterpret_cast<wl_output *>(session->bind(global, wl_output_interface, 4));
        session->adopt(reinterpret_cast<wl_proxy *>(output),
                       [](wl_proxy *proxy) { wl_proxy_destroy(proxy); });
        wl_output_add_listener(output, &listener, &sizes.emplace_back());
    }
    if (!session->roundTrip())
        return {};
    return {sizes.begin(), sizes.end()};
}
