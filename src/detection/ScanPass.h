// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/Finding.h"
#include "detection/ProcessSource.h"
#include "detection/RunningApplications.h"
#include "detection/ScanContext.h"

#include <QList>
#include <QStringList>

#include <memory>

// One scan pass: the findings for the running applications (first, in the
// source's order) and then for the process table, each with the evidence it
// rests on. Blocks the caller.
QList<Finding> scanFindings(const RunningApplicationsSource &applications,
                            const ProcessSource &processes);

// The findings of `processes` alone, by the same rules.
QList<Finding> processFindings(const QList<ObservedProcess> &processes);

// The same pass as detection lines alone.
QStringList scanForSuspiciousProcesses(const RunningApplicationsSource &applications,
                                       const ProcessSource &processes);

// The same passes over this machine, with one walk of /proc for both sources.
QList<Finding> scanFindings();
QStringList scanForSuspiciousProcesses();

// One pass over this machine, as scanFindings() makes it, with its context:
// what the pass knew of the machine (virtualisation, remote-control programs
// among the processes it read, monitors, graphical session) and what it could
// not see. The context never adds a finding.
ScanResult scanMachine();
// The same over the given sources; the machine's facts are this session's.
ScanResult scanMachine(const RunningApplicationsSource &applications,
                       const ProcessSource &processes);

// Whether `name` matches a rule of the pass: the target tool's names or a
// generic one. The process readers look closer only at what matches.
bool matchesDetectionRules(const QString &name);

// This machine's desktop applications.
std::unique_ptr<RunningApplicationsSource> defaultRunningApplicationsSource();
