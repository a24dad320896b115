// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/proc/BoundedRead.h"
#include "detection/proc/ProcFiles.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// One process's folder under an open /proc tree. Its files are opened by
// their path below the tree's root ("1234/stat"): a descriptor for each
// process's folder would cost two more system calls per process, and a pass
// over thousands of processes is mostly system calls. For the same reason the
// files more than one reader needs (status, stat, the exe link, cmdline) are
// read at most once, on first use, and the files read stay open until the
// folder is left, when they are closed together (close_range(2)).
class ProcessDirectory
{
public:
    // `name` is the folder's name (the pid's digits) inside the open `procRoot`.
    ProcessDirectory(int procRoot, const char *name, qint64 pid);
    ~ProcessDirectory();
    ProcessDirectory(const ProcessDirectory &) = delete;
    ProcessDirectory &operator=(const ProcessDirectory &) = delete;

    qint64 pid() const { return m_pid; }

    // A file of the folder, as readBounded() reads it.
    BoundedContent read(const char *file, qint64 limit);
    // A link's target, empty when it cannot be read.
    QByteArray readLink(const char *link) const;
    // The open /proc tree and this folder's path inside it ("1234/" + relative),
    // for the system calls that take a folder and a relative path.
    int procRoot() const { return m_root; }
    QByteArray pathOf(QByteArrayView relative) const { return m_prefix + relative.toByteArray(); }

    // `status`, at most its first 16 KiB (a real one is 1-2 KiB).
    const QByteArray &status();
    // `stat`, parsed; none when unreadable or without a comm.
    const std::optional<ProcStat> &stat();
    // The exe link's target without the kernel's " (deleted)" mark of a
    // replaced file; empty when unreadable (another user's process, a kernel
    // thread, one that left).
    const QString &executablePath();
    // `cmdline`, at most its first 64 KiB (a real argv is a few kilobytes).
    const QByteArray &cmdline();

private:
    QByteArray path(const char *file) const { return m_prefix + file; }

    int m_root;
    QByteArray m_prefix; // "1234/"
    qint64 m_pid;
    std::optional<QByteArray> m_status;
    std::optional<std::optional<ProcStat>> m_stat;
    std::optional<QString> m_executablePath;
    std::optional<QByteArray> m_cmdline;
    std::vector<int> m_openFiles;
};

// Calls `visit` for each process folder (a name of digits only) under
// `procRoot`, in the order the folder lists them. Nothing happens when
// `procRoot` cannot be read.
void forEachProcessDirectory(const QString &procRoot,
                             const std::function<void(ProcessDirectory &)> &visit);
