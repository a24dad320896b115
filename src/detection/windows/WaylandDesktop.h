// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/desktop/LinuxRunningApplications.h"
#include "detection/windows/TopLevelWindow.h"

#include <QList>
#include <QSize>
#include <QStringList>

// The native windows of the Wayland session the environment shows (none
// outside one): from the compositor's window list where it offers one (the
// wlroots compositors), else from KWin's scripting where KWin is the
// compositor. A compositor that lists them to no program (GNOME Shell,
// Mutter, Weston, ...) adds the statement "windows: native Wayland windows
// are not visible on this desktop: NAME does not list them to other
// programs" to `limits`; so does, with its reason, one that cannot be read.
// X11 programs' windows are the X display's business (Xwayland).
QList<TopLevelWindow> nativeWaylandWindows(const LinuxRunningApplications::Environment &environment,
                                           QStringList *limits);

// The outputs (monitors) of this session's compositor, by $WAYLAND_DISPLAY
// or the first one listening in $XDG_RUNTIME_DIR: each one's size in pixels.
QList<QSize> waylandOutputs();
