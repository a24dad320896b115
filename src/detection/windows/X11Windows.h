// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/windows/TopLevelWindow.h"

#include <QList>
#include <QString>
#include <QStringList>

// The client windows of an X display, on every screen: each window some
// client put into the tree as its own, wherever it put it (a top-level
// window, a client in a window manager's frame, a window inside another
// application's), that is on screen or carries a name; the frames of the
// window manager are not among them. Each is owned by the client that made
// it, as the X server tells (X-Resource), `_NET_WM_PID` only where the server
// cannot tell.
//
// What could not be read adds a text to `limits`, starting "windows: ": a
// display that cannot be reached or stops answering (a client holding the
// server grabbed), a connection that breaks, a tree too large or too slow to
// read whole. Every request is bounded by XcbSession's time-outs.
QList<TopLevelWindow> x11Windows(const QString &display, QStringList *limits);
