// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/desktop/LinuxRunningApplications.h"

#include <QStringList>

// What a window scan of this environment misses of the graphical sessions it
// shows (the X11 sockets, the Wayland sockets, the login session's type),
// apart from what the X display it reads fails to answer: a session while
// DISPLAY is not set, and the native windows of a Wayland session, which no
// program can list. A socket left behind by a server that ended is no session.
QStringList graphicalSessionLimits(const LinuxRunningApplications::Environment &environment);
