// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/ProcProcessSource.h"

#include "detection/processes/ProcessNamesReader.h"
#include "detection/proc/ProcVisibility.h"
#include "detection/ScanPass.h"
#include "detection/proc/ProcessDirectory.h"

#include <QDir>

ProcProcessSource::ProcProcessSource(QString procRoot, QString homeFolder)
    : m_procRoot(std::move(procRoot)), m_homeFolder(std::move(homeFolder))
{}

QString ProcProcessSource::defaultHomeFolder()
{
    return QDir::homePath();
}

QList<ObservedProcess> ProcProcessSource::runningProcesses() const
{
    QList<ObservedProcess> processes;
    ProcessNamesReader reader(m_homeFolder, matchesDetectionRules);
    forEachProcessDirectory(m_procRoot, [&](ProcessDirectory &directory) {
        if (std::optional<ObservedProcess> process = reader.read(directory))
            processes.append(std::move(*process));
    });
    return processes;
}

QStringList ProcProcessSource::processLimits() const
{
    return procVisibilityLimits(m_procRoot);
}
