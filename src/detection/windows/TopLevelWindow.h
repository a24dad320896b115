// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What one client window of the desktop (a top-level window, or one a client
// put inside another's) tells about its application.
struct TopLevelWindow
{
    std::optional<qint64> pid{}; // the client that made it, as the X server knows it;
                                 // else its _NET_WM_PID
    QString instanceName{};      // WM_CLASS, first part
    QString className{};         // WM_CLASS, second part
    QString applicationId{};     // _GTK_APPLICATION_ID
    QString desktopFile{};       // _KDE_NET_WM_DESKTOP_FILE
    QString id{};                // the window's id, e.g. "0x3a00007"
    QString title{};             // _NET_WM_NAME, else WM_NAME; whitespace runs as one space
    QStringList overlayTraits{}; // see overlayTraits(): empty unless an overlay
    QString iconName{};          // _NET_WM_ICON_NAME, else WM_ICON_NAME
    QString role{};              // WM_WINDOW_ROLE

    bool operator==(const TopLevelWindow &) const = default;
};

// How a window sits on the screen, as far as telling an overlay goes.
struct WindowLayering
{
    bool viewable = false;
    bool overrideRedirect = false; // placed by the client itself, above the window manager
    bool above = false;            // _NET_WM_STATE_ABOVE
    bool skipTaskbar = false;      // _NET_WM_STATE_SKIP_TASKBAR
    bool desktopType = false;      // the type the window manager gives it is a dock, desktop,
                                   // notification, menu, tooltip, combo, DnD or splash
    int width = 0;
    int height = 0;
    bool emptyInputShape = false;   // clicks go through it
    bool argbVisual = false;        // 32-bit: it can be see-through
    bool aboveActiveWindow = false; // stacked above the active window, being neither it nor
                                    // its dialog
    bool unlisted = false;          // left out of the window manager's _NET_CLIENT_LIST
    bool undecorated = false;       // _MOTIF_WM_HINTS asks for no frame
    bool translucent = false;       // _NET_WM_WINDOW_OPACITY below opaque
    bool shaped = false;            // its bounding shape is not its whole rectangle
    bool hiddenFromCapture = false; // the compositor leaves it out of screen sharing
};

// The traits of an overlay, as the line names them, when the window's score
// reaches the threshold; else empty. Each trait a floating window shows adds
// its weight (OverlayTraits.cpp holds the table); windows not on screen,
// tiny ones and the desktop's own window types never count.
QStringList overlayTraits(const WindowLayering &layering);
