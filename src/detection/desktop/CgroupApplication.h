// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The application a desktop launched into its own systemd unit.
struct LaunchedUnit
{
    QString identifier; // desktop-entry ID, e.g. org.gnome.Nautilus or firefox_firefox
    QString unit;       // the unit's full name: one instance of the application each
};

// Reads a unit name of the forms the desktops use:
//   app[-<launcher>]-<id>-<random>.scope   (GNOME, KDE, Flatpak)
//   app[-<launcher>]-<id>[@<random>].service
// with systemd escapes in <id> decoded.
std::optional<LaunchedUnit> applicationUnit(QStringView unitName);

// Reads a Snap's scope, snap.<snap>.<app>[-.]<uuid>.scope, whose desktop entry
// is <snap>_<app>.desktop. Hooks are not applications.
std::optional<LaunchedUnit> snapUnit(QStringView unitName);

// The content of /proc/PID/cgroup (v1 or v2, one "id:controllers:path" a line).
// The innermost unit on a path wins; the unified "0::" line before v1 lines.
struct CgroupApplications
{
    std::optional<LaunchedUnit> systemdUnit;
    std::optional<LaunchedUnit> snap;
};
CgroupApplications cgroupApplications(QByteArrayView cgroupFile);
