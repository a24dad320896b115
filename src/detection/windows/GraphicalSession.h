// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/desktop/LinuxRunningApplications.h"

#include <QStringList>

// What a window scan of this environment misses of the graphical sessions it
// shows (the X11 sockets, the Wayland sockets, the login session's type),
// apart from what the displays it reads fail to answer: a session while
// DISPLAY is not set. A socket left behind by a server that ended is no session.
QStringList graphicalSessionLimits(const LinuxRunningApplications::Environment &environment);

// Whether the environment shows a Wayland session: its type, WAYLAND_DISPLAY,
// or a compositor listening in the runtime folder.
bool waylandSessionRunning(const LinuxRunningApplications::Environment &environment);

// The path of the session's compositor socket: WAYLAND_DISPLAY (a path, or a
// name in the runtime folder), else the first socket in the runtime folder a
// compositor listens on; empty for none.
QString waylandSocket(const LinuxRunningApplications::Environment &environment);
