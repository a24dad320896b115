// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/desktop/ProcessRecord.h"
#include "detection/RunningApplications.h"

#include <QString>
#include <QStringList>

#include <optional>

// The applications of the user's Linux desktop: from the processes in /proc
// (systemd units, Flatpak, Snap, launcher hints), from the client windows of
// the X display when one is given, and from the native windows of a Wayland
// session where its compositor lists them. Names come from the desktop entries.
class LinuxRunningApplications : public RunningApplicationsSource
{
public:
    struct Environment
    {
        QString procRoot = QStringLiteral("/proc");
        uint uid = 0;
        QStringList dataDirs{};              // XDG data folders, in order of precedence
        QString locale{};                    // POSIX locale name for the translated names
        std::optional<QString> x11Display{}; // none: no windows are read
        // Where a running graphical session shows itself, so that a scan that
        // does not read its windows says so (empty: not looked at).
        QString x11SocketDir{}; // the X servers' sockets, X<display number>
        QString runtimeDir{};   // $XDG_RUNTIME_DIR: the Wayland compositors' sockets
        QString sessionType{};  // $XDG_SESSION_TYPE of the login session
        // $WAYLAND_DISPLAY: the compositor whose native windows are read (a
        // socket in runtimeDir, or a path); empty: the one listening there.
        QString waylandDisplay{};
    };

    explicit LinuxRunningApplications(Environment environment);

    // This session: the real /proc and user, $XDG_DATA_HOME and $XDG_DATA_DIRS,
    // the messages locale, $DISPLAY, /tmp/.X11-unix, $XDG_RUNTIME_DIR,
    // $XDG_SESSION_TYPE and $WAYLAND_DISPLAY.
    static Environment sessionEnvironment();

    QList<RunningApplication> runningApplications() const override;
    QStringList applicationLimits() const override { return m_limits; }

    // The same from processes already read from `procRoot` (the user's, as
    // ProcFsReader gives them), for a pass that walks /proc once for all.
    // What the desktop's windows could not show is added to `limits`, each
    // text starting "windows: ".
    QList<RunningApplication> applicationsOf(const QList<ProcessRecord> &userProcesses,
                                             QStringList *limits = nullptr) const;

    const Environment &environment() const { return m_environment; }

private:
    Environment m_environment;
    mutable QStringList m_limits; // of the last runningApplications()
};
