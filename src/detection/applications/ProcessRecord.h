#pragma once

#include <QByteArray>
#include <QString>

// What the running-applications source reads of one process.
struct ProcessRecord
{
    qint64 pid = 0;
    qint64 parentPid = 0;
    quint64 startTime = 0;    // clock ticks after boot: orders processes by start
    QString executable{};     // exe's file name, else argv[0]'s, else comm
    QByteArray cgroup{};      // content of /proc/PID/cgroup
    QByteArray flatpakInfo{}; // the process's /.flatpak-info, when it is a Flatpak
    QString launcherHint{};   // desktop file path the launcher left in the environment
};
