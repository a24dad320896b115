// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/windows/XcbSession.h"

#include <array>
#include <optional>
#include <vector>

// The atoms the window scan reads, interned once per session.
enum class X11Atom {
    // Names a window may carry.
    WmClass,
    WmName,
    NetWmName,
    WmIconName,
    NetWmIconName,
    WmWindowRole,
    GtkApplicationId,
    KdeNetWmDesktopFile,
    // What else is read of a window.
    WmState,
    NetWmPid,
    NetWmState,
    NetWmWindowType,
    MotifWmHints,
    NetWmWindowOpacity,
    WmTransientFor,
    // Of the root window.
    NetClientList,
    NetActiveWindow,
    // Values of _NET_WM_STATE.
    StateAbove,
    StateSkipTaskbar,
    // The window types of the EWMH: the first a window lists of these is the
    // type a window manager gives it. From Dock on they are the desktop's own.
    TypeNormal,
    TypeDialog,
    TypeUtility,
    TypeToolbar,
    TypeDock,
    TypeDesktop,
    TypeNotification,
    TypeTooltip,
    TypeMenu,
    TypeDropdownMenu,
    TypePopupMenu,
    TypeCombo,
    TypeDnd,
    TypeSplash,
    Count
};

class X11Atoms
{
public:
    static constexpr int count = int(X11Atom::Count);
    static constexpr int nameCount = int(X11Atom::KdeNetWmDesktopFile) + 1;

    // Also asks for the SHAPE and X-Resource extensions, so that their
    // answers come with the atoms' and never make a later step wait.
    // Atoms no client ever created stay XCB_ATOM_NONE: nothing carries them.
    explicit X11Atoms(XcbSession &session);

    xcb_atom_t operator[](X11Atom atom) const { return m_atoms[size_t(atom)]; }
    // The atom's entry, if it is one of these.
    std::optional<X11Atom> find(xcb_atom_t atom) const;
    // The selection the window manager of a screen holds (ICCCM's WM_Sn).
    xcb_atom_t windowManagerSelection(size_t screen) const
    {
        return screen < m_managerSelections.size() ? m_managerSelections[screen]
                                                   : xcb_atom_t(XCB_ATOM_NONE);
    }

private:
    std::array<xcb_atom_t, count> m_atoms{};
    std::vector<xcb_atom_t> m_managerSelections;
};
