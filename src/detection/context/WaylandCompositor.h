// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The name (comm, under `procRoot`) of the process listening on the Wayland
// socket at `socketPath`: the compositor, as the kernel tells the peer of a
// connection (SO_PEERCRED). Empty when nothing listens there or the process
// is not in view (another PID namespace, a sandbox).
QString waylandCompositor(const QString &socketPath, const QString &procRoot);
