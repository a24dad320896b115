// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/ProcessSource.h"
#include "detection/ScanContext.h"
#include "detection/context/X11Screens.h"

#include <QString>
#include <QStringList>

#include <optional>

// Where a pass's context is read from besides its own sources.
struct ContextSources
{
    QString root = QStringLiteral("/"); // the virtualisation evidence lies below it
    QString procRoot = QStringLiteral("/proc");
    std::optional<QString> x11Display{}; // its monitors and window manager
    QString waylandDisplay{};            // $WAYLAND_DISPLAY: a socket in runtimeDir, or a path
    QString runtimeDir{};                // $XDG_RUNTIME_DIR
    QString sessionType{};               // $XDG_SESSION_TYPE
    QString currentDesktop{};            // $XDG_CURRENT_DESKTOP
    QString cpuVendor{};                 // cpuHypervisorVendor()

    // This machine and login session's.
    static ContextSources session();
};

// What the X display told of its screens, or why it could not; nothing without one.
struct DisplayAnswer
{
    std::optional<X11Screens> screens;
    // Without an X display, a Wayland compositor's outputs, each its size.
    QList<QSize> waylandOutputs{};
    QString failure;
    // The connection that asked, held open while the pass reads the windows:
    // an X server that loses its last client resets itself, and a window
    // read that connects meanwhile fails (Xvfb and other bare servers).
    std::shared_ptr<XcbSession> connection{};
};
// Over a connection of its own, so that it may be asked while a pass reads its sources.
DisplayAnswer askDisplay(const ContextSources &sources);

// What the pass that read `processes` knew of the machine and could not see:
// `processLimits` and `windowLimits` are its sources' limits (the latter each
// starting "windows: "), as they report them.
//
// Environment, one line per topic in this order: "virtual machine: ...",
// "container: ...", "remote control: ..." (one line per program), "monitors:
// ...", "session: ...". Coverage: "processes: could not see ..." for each
// process limit, each window limit as it is, "windows: no graphical session
// was found, so only processes were read" when there is neither a display
// nor a session that could not be read, and a line for each source that
// failed ("processes: ...", "monitors: ...").
ScanContext machineContext(const ContextSources &sources, const DisplayAnswer &display,
                           const QList<ObservedProcess> &processes,
                           const QStringList &processLimits, const QStringList &windowLimits);
