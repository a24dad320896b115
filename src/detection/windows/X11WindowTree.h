// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/windows/X11Atoms.h"
#include "detection/windows/XcbSession.h"

#include <bitset>
#include <vector>

// One window met on the walk down the window tree.
struct TreeWindow
{
    xcb_window_t id = XCB_WINDOW_NONE;
    size_t screen = 0;
    int parent = -1;       // its index among the walk's windows; -1 for a root
    int topLevel = -1;     // the index of its ancestor that is a child of the root
    int stackPosition = 0; // of that top-level window among the root's children, lowest 0
    // Made by another client than its parent: a window some client put there
    // as its own (a top-level window, a client in a window manager's frame, a
    // window reparented into another application's). Only these are read
    // further; the rest belong to the window they are in.
    bool client = false;
    bool viewable = false;
    bool overrideRedirect = false;
    bool inputOnly = false;
    std::bitset<X11Atoms::count> properties{}; // which of the atoms it carries
};

struct WindowTree
{
    // Generous for any desktop; beyond it the rest of the tree is not read.
    static constexpr size_t maxWindows = 32'768;

    std::vector<TreeWindow> windows; // the roots, then level by level, each the lowest first
    bool complete = true;            // false: there were more than maxWindows
};

// Every window of every screen, one level of the tree per round trip. Input-only
// windows are not entered: nothing in them can be seen. On a failure of the
// session the walk ends where it was.
WindowTree walkWindowTree(XcbSession &session, const X11Atoms &atoms);
