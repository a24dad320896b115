// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/ProcSnapshotSources.h"

#include "detection/processes/ProcProcessSource.h"
#include "detection/processes/ProcessNamesReader.h"
#include "detection/proc/ProcVisibility.h"
#include "detection/ScanPass.h"
#include "detection/desktop/ProcFsReader.h"
#include "detection/proc/ProcessDirectory.h"

ProcSnapshotSources::ProcSnapshotSources(LinuxRunningApplications::Environment environment,
                                         QString homeFolder)
    : m_applications(std::move(environment))
{
    ProcessNamesReader names(std::move(homeFolder), matchesDetectionRules);
    m_processLimits = procVisibilityLimits(m_applications.environment().procRoot);
    const ProcFsReader records(m_applications.environment().procRoot,
                               m_applications.environment().uid);
    forEachProcessDirectory(m_applications.environment().procRoot,
                            [&](ProcessDirectory &directory) {
                                if (std::optional<ObservedProcess> process = names.read(directory))
                                    m_processes.append(std::move(*process));
                                if (std::optional<ProcessRecord> record = records.read(directory))
                                    m_userProcesses.append(std::move(*record));
                            });
}

ProcSnapshotSources ProcSnapshotSources::session()
{
    return {LinuxRunningApplications::sessionEnvironment(), ProcProcessSource::defaultHomeFolder()};
}

QList<RunningApplication> ProcSnapshotSources::runningApplications() const
{
    m_applicationLimits.clear();
    return m_applications.applicationsOf(m_userProcesses, &m_applicationLimits);
}
