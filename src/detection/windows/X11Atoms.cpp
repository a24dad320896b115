// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/X11Atoms.h"

#include <xcb/res.h>
#include <xcb/shape.h>

#include <algorithm>
#include <string>

namespace {

constexpr std::array<const char *, X11Atoms::count> atomNames = {
    "WM_CLASS",
    "WM_NAME",
    "_NET_WM_NAME",
    "WM_ICON_NAME",
    "_NET_WM_ICON_NAME",
    "WM_WINDOW_ROLE",
    "_GTK_APPLICATION_ID",
    "_KDE_NET_WM_DESKTOP_FILE",
    "WM_STATE",
    "_NET_WM_PID",
    "_NET_WM_STATE",
    "_NET_WM_WINDOW_TYPE",
    "_MOTIF_WM_HINTS",
    "_NET_WM_WINDOW_OPACITY",
    "WM_TRANSIENT_FOR",
    "_NET_CLIENT_LIST",
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_TOOLBAR",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_MENU",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_DND",
    "_NET_WM_WINDOW_TYPE_SPLASH",
};

unsigned int intern(XcbSession &session, const std::string &name)
{
    return xcb_intern_atom(session.connection(), 1, uint16_t(name.size()), name.data()).sequence;
}

} // namespace

X11Atoms::X11Atoms(XcbSession &session)
{
    xcb_prefetch_extension_data(session.connection(), &xcb_shape_id);
    xcb_prefetch_extension_data(session.connection(), &xcb_res_id);
    std::vector<unsigned int> sequences;
    for (const char *name : atomNames)
        sequences.push_back(intern(session, name));
    for (size_t screen = 0; screen < session.roots().size(); ++screen)
        sequences.push_back(intern(session, "WM_S" + std::to_string(screen)));
    const auto replies = session.replies(sequences);
    std::vector<xcb_atom_t> interned;
    for (const auto &reply : replies)
        interned.push_back(reply ? static_cast<xcb_intern_atom_reply_t *>(reply.get())->atom
                                 : xcb_atom_t(XCB_ATOM_NONE));
    if (interned.size() != sequences.size())
        return; // the session failed, and says why
    std::copy_n(interned.begin(), count, m_atoms.begin());
    m_managerSelections.assign(interned.begin() + count, interned.end());
}

std::optional<X11Atom> X11Atoms::find(xcb_atom_t atom) const
{
    if (atom == XCB_ATOM_NONE)
        return std::nullopt;
    const auto found = std::find(m_atoms.begin(), m_atoms.end(), atom);
    if (found == m_atoms.end())
        return std::nullopt;
    return X11Atom(found - m_atoms.begin());
}
