// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/LinuxRunningApplications.h"

#include "detection/desktop/ApplicationGrouping.h"
#include "detection/desktop/DesktopEntries.h"
#include "detection/desktop/ProcFsReader.h"
#include "detection/windows/GraphicalSession.h"
#include "detection/windows/WaylandDesktop.h"
#include "detection/windows/X11Windows.h"

#include <algorithm>

#include <unistd.h>

LinuxRunningApplications::LinuxRunningApplications(Environment environment)
    : m_environment(std::move(environment))
{}

LinuxRunningApplications::Environment LinuxRunningApplications::sessionEnvironment()
{
    Environment environment;
    environment.uid = getuid();
    environment.dataDirs = DesktopEntries::defaultDataDirs();
    environment.locale = DesktopEntries::defaultLocale();
    // Under Wayland, DISPLAY names XWayland, which knows only the X clients:
    // still worth reading, so it is used whenever set.
    const QString display = qEnvironmentVariable("DISPLAY");
    if (!display.isEmpty())
        environment.x11Display = display;
    environment.x11SocketDir = QStringLiteral("/tmp/.X11-unix");
    environment.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    environment.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    environment.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    return environment;
}

QList<RunningApplication> LinuxRunningApplications::runningApplications() const
{
    m_limits.clear();
    return applicationsOf(ProcFsReader(m_environment.procRoot, m_environment.uid).userProcesses(),
                          &m_limits);
}

QList<RunningApplication>
LinuxRunningApplications::applicationsOf(const QList<ProcessRecord> &processes,
                                         QStringList *limits) const
{
    const DesktopEntries entries(m_environment.dataDirs, m_environment.locale);
    QStringList windowLimits;
    QList<TopLevelWindow> windows = m_environment.x11Display
                                        ? x11Windows(*m_environment.x11Display, &windowLimits)
                                        : QList<TopLevelWindow>{};
    windowLimits += graphicalSessionLimits(m_environment);
    QList<TopLevelWindow> native = nativeWaylandWindows(m_environment, &windowLimits);
    // A compositor lists Xwayland's windows too, by their title and class
    // (KWin lowercases it): the X display's reading of them, with their
    // process and traits, is kept.
    native.removeIf([&](const TopLevelWindow &window) {
        return std::any_of(windows.cbegin(), windows.cend(), [&](const TopLevelWindow &x11) {
            return x11.title == window.title &&
                   x11.className.compare(window.className, Qt::CaseInsensitive) == 0;
        });
    });
    windows += native;
    if (limits)
        *limits += windowLimits;
    return groupApplications(processes, windows, entries);
}
