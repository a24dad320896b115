#pragma once

#include "ProcessSource.h"
#include "RunningApplications.h"

#include <QStringList>

#include <memory>

// One scan pass: the detection lines for the running applications (first, in
// the source's order) and then for the process table. Blocks the caller.
QStringList scanForSuspiciousProcesses(const RunningApplicationsSource &applications,
                                       const ProcessSource &processes);

// The same pass over this machine, with the default sources below.
QStringList scanForSuspiciousProcesses();

// This machine's default sources.
std::unique_ptr<ProcessSource> defaultProcessSource();
std::unique_ptr<RunningApplicationsSource> defaultRunningApplicationsSource();
