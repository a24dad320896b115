// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/context/MachineContext.h"

#include "detection/context/RemoteControlPrograms.h"
#include "detection/context/Virtualization.h"
#include "detection/context/WaylandCompositor.h"
#include "detection/windows/WaylandWindows.h"
#include "detection/context/X11Screens.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

QString monitorsFact(const QList<QSize> &monitors)
{
    QStringList sizes;
    for (const QSize &size : monitors)
        sizes << u"%1×%2"_s.arg(size.width()).arg(size.height());
    return u"monitors: %1 (%2)"_s.arg(monitors.size()).arg(sizes.join(u", "_s));
}

bool isWayland(const ContextSources &sources)
{
    return !sources.waylandDisplay.isEmpty() || sources.sessionType == u"wayland";
}

QString waylandSocket(const ContextSources &sources)
{
    const QString socket =
        sources.waylandDisplay.isEmpty() ? u"wayland-0"_s : sources.waylandDisplay;
    return QDir::isAbsolutePath(socket) ? socket : sources.runtimeDir + u'/' + socket;
}

QString sessionFact(const ContextSources &sources, bool wayland, const QString &windowManager)
{
    QStringList details;
    if (wayland) {
        const QString compositor = waylandCompositor(waylandSocket(sources), sources.procRoot);
        if (!compositor.isEmpty())
            details << u"compositor "_s + compositor;
    } else if (!windowManager.isEmpty()) {
        details << u"window manager "_s + windowManager;
    }
    if (!sources.currentDesktop.isEmpty())
        details << u"desktop "_s + sources.currentDesktop;
    const QString type = wayland                                               ? u"Wayland"_s
                         : sources.x11Display || sources.sessionType == u"x11" ? u"X11"_s
                                                                               : QString();
    if (type.isEmpty())
        return u"session: none (no DISPLAY, WAYLAND_DISPLAY or XDG_SESSION_TYPE)"_s;
    return u"session: "_s + type +
           (details.isEmpty() ? QString() : u" ("_s + details.join(u", "_s) + u')');
}

} // namespace

ContextSources ContextSources::session()
{
    static const QString cpuVendor = cpuHypervisorVendor();
    ContextSources sources;
    if (const QString display = qEnvironmentVariable("DISPLAY"); !display.isEmpty())
        sources.x11Display = display;
    sources.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    sources.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    sources.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    sources.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    sources.cpuVendor = cpuVendor;
    return sources;
}

DisplayAnswer askDisplay(const ContextSources &sources)
{
    DisplayAnswer answer;
    if (sources.x11Display)
        answer.screens = readX11Screens(*sources.x11Display, &answer.failure, &answer.connection);
    else if (isWayland(sources))
        answer.waylandOutputs = waylandOutputs(waylandSocket(sources));
    return answer;
}

ScanContext machineContext(const ContextSources &sources, const DisplayAnswer &display,
                           const QList<ObservedProcess> &processes,
                           const QStringList &processLimits, const QStringList &windowLimits)
{
    ScanContext context;
    context.environment = virtualizationFacts(sources.root, sources.cpuVendor);
    context.environment += remoteControlFacts(processes);

    for (const QString &limit : processLimits)
        context.coverage << u"processes: could not see "_s + limit;
    if (processes.isEmpty())
        context.coverage << u"processes: none could be read"_s;
    context.coverage += windowLimits;
    if (!sources.x11Display && windowLimits.isEmpty())
        context.coverage
            << u"windows: no graphical session was found, so only processes were read"_s;

    const bool wayland = isWayland(sources);
    QString windowManager;
    if (display.screens) {
        // Under Wayland, Xwayland's RandR shows the compositor's outputs.
        context.environment << monitorsFact(display.screens->monitors);
        windowManager = display.screens->windowManager;
    } else if (sources.x11Display) {
        context.environment << u"monitors: not known"_s;
        context.coverage << u"monitors: "_s + display.failure;
    } else if (!display.waylandOutputs.isEmpty()) {
        context.environment << monitorsFact(display.waylandOutputs);
    } else if (wayland) {
        context.environment << u"monitors: not known (the compositor named none)"_s;
    } else {
        context.environment << u"monitors: not known (no display to ask)"_s;
    }
    context.environment << sessionFact(sources, wayland, windowManager);
    return context;
}
