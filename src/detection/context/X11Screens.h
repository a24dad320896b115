// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// What an X display shows of the desk in front of it: its monitors, in
// pixels, and the window manager's name.
struct X11Screens
{
    // The active monitors of every screen, RandR's (1.5) view: each connected
    // output with a CRTC, or a monitor a client defined. A screen whose server
    // has no RandR 1.5 counts as one monitor of its size.
    QList<QSize> monitors;
    // _NET_WM_NAME of the window _NET_SUPPORTING_WM_CHECK names on the first
    // screen; empty with no EWMH window manager.
    QString windowManager;
};

class XcbSession;

// Read over a short connection of its own within XcbSession's time-outs;
// none when the display could not be read, and then `failure` says why
// ("the X display :0 cannot be reached", ...). The connection is handed to
// `keep`, when given, for the caller to close.
std::optional<X11Screens> readX11Screens(const QString &display, QString *failure,
                                         std::shared_ptr<XcbSession> *keep = nullptr);
