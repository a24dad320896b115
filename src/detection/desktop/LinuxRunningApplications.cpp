// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/LinuxRunningApplications.h"

#include "detection/desktop/ApplicationGrouping.h"
#include "detection/desktop/DesktopEntries.h"
#include "detection/windows/GraphicalSession.h"
#include "detection/desktop/ProcFsReader.h"
#include "detection/windows/WaylandDesktop.h"
#include "detection/windows/X11Windows.h"

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
    windows += nativeWaylandWindows(m_environment, &windowLimits);
    if (limits)
        *limits += windowLimits;
    return groupApplications(processes, windows, entries);
}
