#pragma once

#include "ProcessRecord.h"

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

private:
    std::optional<ProcessRecord> read(const QString &pidPath, qint64 pid) const;
    std::optional<ProcessRecord> read(int pidDir, qint64 pid) const;

    QString m_procRoot;
    uint m_uid;
};
