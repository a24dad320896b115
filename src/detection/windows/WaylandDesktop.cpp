// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/WaylandDesktop.h"

#include "detection/windows/GraphicalSession.h"
#include "detection/windows/KWinWindows.h"
#include "detection/windows/WaylandSession.h"
#include "detection/windows/WaylandWindows.h"

#include <QFile>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

// The compositor's program, as the kernel names its process.
QString compositorCommand(const QString &procRoot, std::optional<qint64> pid)
{
    if (!pid)
        return {};
    QFile comm(u"%1/%2/comm"_s.arg(procRoot).arg(*pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.read(64)).trimmed() : QString();
}

// How people call the compositors that list no windows.
QString compositorName(const QString &command)
{
    static const QHash<QString, QString> known{
        {u"gnome-shell"_s, u"GNOME Shell"_s},
        {u"mutter"_s, u"Mutter"_s},
        {u"weston"_s, u"Weston"_s},
        {u"gamescope"_s, u"Gamescope"_s},
        {u"cage"_s, u"Cage"_s},
    };
    return command.isEmpty() ? u"its compositor"_s : known.value(command, command);
}

} // namespace

QList<TopLevelWindow> nativeWaylandWindows(const LinuxRunningApplications::Environment &environment,
                                           QStringList *limits)
{
    if (!waylandSessionRunning(environment))
        return {};
    const QString socket = waylandSocket(environment);
    if (socket.isEmpty()) {
        *limits << u"windows: a Wayland session is running but no compositor answers in "
                   u"XDG_RUNTIME_DIR, and WAYLAND_DISPLAY is not set"_s;
        return {};
    }
    const qsizetype before = limits->size();
    WaylandWindowList list = waylandWindows(socket, limits);
    if (list.listed || limits->size() > before)
        return list.windows;
    const QString command = compositorCommand(environment.procRoot, list.compositorPid);
    if (command == u"kwin_wayland")
        return kwinWindows(WaylandSession::sessionTimeout, limits)
            .value_or(QList<TopLevelWindow>{});
    *limits << u"windows: native Wayland windows are not visible on this desktop: %1 does not "
               u"list them to other programs"_s.arg(compositorName(command));
    return {};
}

QList<QSize> waylandOutputs()
{
    const QString socket = waylandSocket(LinuxRunningApplications::sessionEnvironment());
    return socket.isEmpty() ? QList<QSize>{} : waylandOutputs(socket);
}
