// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/windows/TopLevelWindow.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// What a Wayland compositor tells its clients of the other programs' windows.
struct WaylandWindowList
{
    bool listed = false; // the compositor offers a window list, and it was read
    QList<TopLevelWindow> windows{};
    std::optional<qint64> compositorPid{}; // the process listening on the socket
};

// The toplevel windows of the compositor at `socketPath` (an absolute path),
// through ext-foreign-toplevel-list-v1 where it offers that, else
// zwlr-foreign-toplevel-management-v1 (wlroots compositors: sway, Hyprland,
// river, labwc, Wayfire): each window's app id (as its class, and as the
// application id that names a desktop entry) and title. Neither protocol
// tells a window's process. A compositor that cannot be reached, stops
// answering, breaks off or takes longer than WaylandSession allows adds a
// text to `limits`, starting "windows: ".
WaylandWindowList waylandWindows(const QString &socketPath, QStringList *limits);

// The compositor's outputs (monitors) in pixels, each its current mode; empty
// when it cannot be reached within WaylandSession's limits.
QList<QSize> waylandOutputs(const QString &socketPath);
