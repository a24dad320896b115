// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/ProcessSource.h"

#include <QString>

// Reads the process table from Linux's /proc, which keeps full names where
// `ps` cuts them to 15 characters. Of each process it yields every name it
// shows: the executable's file name, argv[0]'s, the kernel's comm, for an
// interpreter the program it runs (and the folders above it), and for an
// Electron-style app the names in its package.json. Kernel threads are
// skipped. Every read is bounded and none blocks. Prints nothing; an
// unreadable root yields an empty list.
class ProcProcessSource : public ProcessSource
{
public:
    // `procRoot` is where the process file system is mounted; `homeFolder`
    // ends the walk up from an interpreted program's file.
    explicit ProcProcessSource(QString procRoot = QStringLiteral("/proc"),
                               QString homeFolder = defaultHomeFolder());

    QList<ObservedProcess> runningProcesses() const override;
    QStringList processLimits() const override;

    static QString defaultHomeFolder();

private:
    QString m_procRoot;
    QString m_homeFolder;
};
