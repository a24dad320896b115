// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/proc/ProcessDirectory.h"
#include "detection/desktop/ProcessRecord.h"

#include <QList>
#include <QString>

#include <optional>

// Reads the processes of one user from a /proc tree. Processes that exit
// during the read, kernel threads and zombies are left out.
class ProcFsReader
{
public:
    ProcFsReader(QString procRoot, uint uid);

    QList<ProcessRecord> userProcesses() const;

    // The process in `process` (a folder of any /proc tree), when it is the user's.
    std::optional<ProcessRecord> read(ProcessDirectory &process) const;

private:
    QString m_procRoot;
    uint m_uid;
};
