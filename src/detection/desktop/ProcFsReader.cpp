// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/ProcFsReader.h"

#include <QFile>

namespace {

// /proc files are small; anything bigger is not a real /proc.
constexpr qint64 maxCgroupBytes = 16 * 1024;
// Only the launchers' hints are read of the environment; a launcher adds
// them to a few kilobytes of a desktop session's variables. A variable the
// bound cuts is left out.
constexpr qint64 maxEnvironBytes = 16 * 1024;
constexpr qint64 maxFlatpakInfoBytes = 64 * 1024;

QString lastPathComponent(const QString &path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1).trimmed();
}

// The exe link's file name, else argv[0]'s (another user's exe is unreadable),
// else the kernel's comm. Empty for a process that has gone or has no program.
QString executableName(ProcessDirectory &process, const ProcStat &stat)
{
    if (const QString exe = lastPathComponent(process.executablePath()); !exe.isEmpty())
        return exe;
    const QByteArray &cmdline = process.cmdline();
    if (cmdline.isEmpty())
        return {};
    if (const QString argv0 =
            lastPathComponent(QFile::decodeName(cmdline.left(cmdline.indexOf('\0'))));
        !argv0.isEmpty())
        return argv0;
    return QString::fromUtf8(stat.comm).trimmed();
}

} // namespace

ProcFsReader::ProcFsReader(QString procRoot, uint uid) : m_procRoot(std::move(procRoot)), m_uid(uid)
{}

QList<ProcessRecord> ProcFsReader::userProcesses() const
{
    QList<ProcessRecord> processes;
    forEachProcessDirectory(m_procRoot, [&](ProcessDirectory &process) {
        if (auto record = read(process))
            processes.append(std::move(*record));
    });
    return processes;
}

std::optional<ProcessRecord> ProcFsReader::read(ProcessDirectory &process) const
{
    if (parseRealUid(process.status()) != m_uid)
        return std::nullopt;
    const auto &stat = process.stat();
    if (!stat || !stat->complete || stat->state == 'Z' || stat->state == 'X' ||
        isKernelThread(*stat))
        return std::nullopt;

    ProcessRecord record;
    record.pid = process.pid();
    record.parentPid = stat->parentPid;
    record.startTime = stat->startTime;
    record.executable = executableName(process, *stat);
    if (record.executable.isEmpty())
        return std::nullopt; // exited while being read
    const auto whole = [&process](const char *path, qint64 limit) {
        const BoundedContent content = process.read(path, limit);
        return content.truncated ? QByteArray() : content.bytes;
    };
    record.launch = launchIdentity({
        .cgroup = process.read("cgroup", maxCgroupBytes).bytes,
        .flatpakInfo = [&] { return whole("root/.flatpak-info", maxFlatpakInfoBytes); },
        .environment =
            [&] {
                BoundedContent environment = process.read("environ", maxEnvironBytes);
                if (environment.truncated)
                    environment.bytes.truncate(environment.bytes.lastIndexOf('\0') + 1);
                return environment.bytes;
            },
    });
    return record;
}
