// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The application a process was launched as, from what the process itself
// carries.
struct LaunchIdentity
{
    QString identifier; // desktop-entry ID
    // Names the one instance the process belongs to (a unit, a Flatpak
    // instance); empty when only the process tree can tell instances apart.
    QString instance;
    QString desktopFile{}; // the launcher's hint: the entry's path, when it gave one
};

// What a process carries, in order of trust: the desktop's systemd unit or a
// Snap's scope in its cgroup file, Flatpak's instance file, the launcher's hint
// in its environment. The files further down are read only when needed.
struct LaunchEvidence
{
    QByteArray cgroup;
    std::function<QByteArray()> flatpakInfo; // empty: not a Flatpak
    std::function<QByteArray()> environment; // NUL-separated; empty: unreadable or too big
};

// The unit outranks Flatpak's file, which outranks the Snap scope, which
// outranks the launcher's hint.
std::optional<LaunchIdentity> launchIdentity(const LaunchEvidence &evidence);
