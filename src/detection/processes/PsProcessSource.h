// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/processes/ChildProcess.h"
#include "detection/ProcessSource.h"

// Reads the process table from the system's `ps` tool run as a child process
// (by default "/bin/ps -axo comm="), within a time limit. Prints
// "Error running ps command: ..." or "Process scan timed out" on standard
// output when it cannot; any failure yields an empty list.
class PsProcessSource : public ProcessSource
{
public:
    PsProcessSource();
    PsProcessSource(QString program, QStringList arguments, ChildProcessLimits limits = {});

    // The distinct names, each a process of its own to the scan.
    QList<ObservedProcess> runningProcesses() const override;

    // Distinct executable names of every process of every user, in no
    // particular order; empty when the table cannot be read.
    QStringList runningProcessNames() const;

private:
    QString m_program;
    QStringList m_arguments;
    ChildProcessLimits m_limits;
};
