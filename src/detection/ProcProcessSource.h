#pragma once

#include "ProcessSource.h"

#include <QString>

// Reads the process table from Linux's /proc, which keeps full names where
// `ps` cuts them to 15 characters. Of each process it takes the target of
// `exe` when readable, else argv[0] from `cmdline`, else the kernel's `comm`;
// kernel threads are skipped. Prints nothing; an unreadable root yields an
// empty list.
class ProcProcessSource : public ProcessSource
{
public:
    // `procRoot` is where the process file system is mounted.
    explicit ProcProcessSource(QString procRoot = QStringLiteral("/proc"));

    QStringList runningProcessNames() const override;

private:
    QString m_procRoot;
};
