// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/context/X11Screens.h"

#include "detection/windows/X11Properties.h"
#include "detection/windows/XcbSession.h"

#include <xcb/randr.h>

#include <array>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

// The longest window manager name read, in 32-bit units.
constexpr uint32_t maxNameLongs = 64;

enum Atom { SupportingWmCheck, NetWmName, Utf8String, AtomCount };
constexpr std::array<std::string_view, AtomCount> atomNames = {"_NET_SUPPORTING_WM_CHECK",
                                                               "_NET_WM_NAME", "UTF8_STRING"};

QString failureText(XcbSession::Failure failure, const QString &display)
{
    switch (failure) {
    case XcbSession::Failure::Unreachable:
        return u"the X display %1 cannot be reached"_s.arg(display);
    case XcbSession::Failure::NoAnswer:
        return u"the X server of %1 stopped answering (a client may hold it grabbed)"_s.arg(
            display);
    case XcbSession::Failure::Broken:
        return u"the connection to the X server of %1 broke"_s.arg(display);
    default:
        return u"the X server of %1 did not answer within %2 ms"_s.arg(display).arg(
            XcbSession::sessionTimeout.count());
    }
}

// Each screen's active monitors, or the screen itself without RandR 1.5.
QList<QSize> monitorsOf(XcbSession &session, bool hasRandr)
{
    xcb_connection_t *connection = session.connection();
    std::vector<unsigned int> sequences;
    if (hasRandr) {
        sequences.push_back(xcb_randr_query_version(connection, 1, 5).sequence);
        for (xcb_window_t root : session.roots())
            sequences.push_back(xcb_randr_get_monitors(connection, root, 1).sequence);
    }
    const auto replies = session.replies(sequences);
    if (session.failed())
        return {};
    QList<QSize> monitors;
    size_t screen = 0;
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem;
         xcb_screen_next(&screens), ++screen) {
        const auto *reply =
            hasRandr ? replyAs<xcb_randr_get_monitors_reply_t>(replies[screen + 1]) : nullptr;
        if (!reply) {
            monitors << QSize(screens.data->width_in_pixels, screens.data->height_in_pixels);
            continue;
        }
        for (auto monitor = xcb_randr_get_monitors_monitors_iterator(reply); monitor.rem;
             xcb_randr_monitor_info_next(&monitor))
            monitors << QSize(monitor.data->width, monitor.data->height);
    }
    return monitors;
}

// The name the EWMH window manager of the first screen gives itself.
QString windowManagerOf(XcbSession &session, const std::array<xcb_atom_t, AtomCount> &atoms)
{
    if (atoms[SupportingWmCheck] == XCB_ATOM_NONE || atoms[NetWmName] == XCB_ATOM_NONE)
        return {};
    const auto check = session.replies({requestProperty(
        session, session.roots().front(), atoms[SupportingWmCheck], XCB_ATOM_WINDOW, 1)});
    const auto windows = check.empty() ? std::vector<xcb_window_t>{}
                                       : propertyLongs<xcb_window_t>(check[0], XCB_ATOM_WINDOW);
    if (windows.empty())
        return {};
    const auto name = session.replies(
        {requestProperty(session, windows[0], atoms[NetWmName], atoms[Utf8String], maxNameLongs)});
    return name.empty() ? QString() : firstString(propertyBytes(name[0]));
}

} // namespace

std::optional<X11Screens> readX11Screens(const QString &display, QString *failure,
                                         std::shared_ptr<XcbSession> *keep)
{
    XcbSession::Failure opened = XcbSession::Failure::None;
    const std::shared_ptr<XcbSession> session = XcbSession::open(display, &opened);
    if (!session) {
        *failure = failureText(opened, display);
        return std::nullopt;
    }
    // The extension's presence comes with the atoms, so that no later step waits on it.
    xcb_prefetch_extension_data(session->connection(), &xcb_randr_id);
    std::vector<unsigned int> sequences;
    for (std::string_view name : atomNames)
        sequences.push_back(
            xcb_intern_atom(session->connection(), 1, uint16_t(name.size()), name.data()).sequence);
    const auto interned = session->replies(sequences);
    std::array<xcb_atom_t, AtomCount> atoms{};
    for (size_t i = 0; i < interned.size(); ++i) {
        if (const auto *reply = replyAs<xcb_intern_atom_reply_t>(interned[i]))
            atoms[i] = reply->atom;
    }
    const xcb_query_extension_reply_t *randr =
        session->failed() ? nullptr : xcb_get_extension_data(session->connection(), &xcb_randr_id);
    X11Screens screens{monitorsOf(*session, randr && randr->present), {}};
    if (!session->failed())
        screens.windowManager = windowManagerOf(*session, atoms);
    if (session->failed()) {
        *failure = failureText(session->failure(), display);
        return std::nullopt;
    }
    if (keep)
        *keep = session;
    return screens;
}
