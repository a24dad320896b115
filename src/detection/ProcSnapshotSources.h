// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/ProcessSource.h"
#include "detection/RunningApplications.h"
#include "detection/desktop/LinuxRunningApplications.h"

#include <QList>
#include <QString>

// Both sources of one scan pass over a single walk of /proc, taken when
// constructed: each process's folder is opened, and its stat, exe link and
// cmdline read, once for the process table and the desktop's applications
// alike. Make one per pass. The windows and desktop entries are read when the
// applications are asked for, as LinuxRunningApplications reads them.
class ProcSnapshotSources final : public ProcessSource, public RunningApplicationsSource
{
public:
    // /proc is `environment.procRoot`; `homeFolder` as ProcProcessSource takes it.
    ProcSnapshotSources(LinuxRunningApplications::Environment environment, QString homeFolder);

    // This session's: LinuxRunningApplications::sessionEnvironment() and the home folder.
    static ProcSnapshotSources session();

    QList<ObservedProcess> runningProcesses() const override { return m_processes; }
    QList<RunningApplication> runningApplications() const override;

    QStringList processLimits() const override { return m_processLimits; }
    QStringList applicationLimits() const override { return m_applicationLimits; }

private:
    LinuxRunningApplications m_applications;
    QList<ObservedProcess> m_processes;
    QList<ProcessRecord> m_userProcesses;
    QStringList m_processLimits;
    mutable QStringList m_applicationLimits;
};
