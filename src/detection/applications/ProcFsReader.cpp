#include "ProcFsReader.h"

#include "BoundedRead.h"
#include "ProcFiles.h"

#include <QDir>
#include <QFile>

#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

// /proc files are small; anything bigger is not a real /proc.
constexpr qint64 maxStatBytes = 4096;
constexpr qint64 maxStatusBytes = 16 * 1024;
constexpr qint64 maxCgroupBytes = 16 * 1024;
constexpr qint64 maxCmdlineBytes = 16 * 1024;
// The environment may be long; the hints are kept only when seen whole.
constexpr qint64 maxEnvironBytes = 1024 * 1024;
constexpr qint64 maxFlatpakInfoBytes = 64 * 1024;

QString lastPathComponent(const QString &path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1).trimmed();
}

// The exe link's file name, else argv[0]'s (another user's exe is unreadable),
// else the kernel's comm. Empty for a process that has gone or has no program.
QString executableName(int pidDir)
{
    if (const QString exe = lastPathComponent(readExecutablePath(pidDir)); !exe.isEmpty())
        return exe;
    const QByteArray cmdline = readBounded(pidDir, "cmdline", maxCmdlineBytes).bytes;
    if (cmdline.isEmpty())
        return {};
    if (const QString argv0 =
            lastPathComponent(QFile::decodeName(cmdline.left(cmdline.indexOf('\0'))));
        !argv0.isEmpty())
        return argv0;
    return QString::fromUtf8(readBounded(pidDir, "comm", 64).bytes).trimmed();
}

} // namespace

ProcFsReader::ProcFsReader(QString procRoot, uint uid) : m_procRoot(std::move(procRoot)), m_uid(uid)
{}

QList<ProcessRecord> ProcFsReader::userProcesses() const
{
    QList<ProcessRecord> processes;
    const QStringList entries =
        QDir(m_procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid <= 0)
            continue;
        if (auto process = read(m_procRoot + u'/' + entry, pid))
            processes.append(std::move(*process));
    }
    return processes;
}

std::optional<ProcessRecord> ProcFsReader::read(const QString &pidPath, qint64 pid) const
{
    const int pidDir =
        ::open(QFile::encodeName(pidPath).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (pidDir < 0)
        return std::nullopt;
    auto process = read(pidDir, pid);
    ::close(pidDir);
    return process;
}

std::optional<ProcessRecord> ProcFsReader::read(int pidDir, qint64 pid) const
{
    if (parseRealUid(readBounded(pidDir, "status", maxStatusBytes).bytes) != m_uid)
        return std::nullopt;
    const auto stat = parseProcStat(readBounded(pidDir, "stat", maxStatBytes).bytes);
    if (!stat || !stat->complete || stat->state == 'Z' || stat->state == 'X' ||
        isKernelThread(*stat))
        return std::nullopt;

    ProcessRecord process;
    process.pid = pid;
    process.parentPid = stat->parentPid;
    process.startTime = stat->startTime;
    process.executable = executableName(pidDir);
    if (process.executable.isEmpty())
        return std::nullopt; // exited while being read
    const auto whole = [pidDir](const char *path, qint64 limit) {
        const BoundedContent content = readBounded(pidDir, path, limit);
        return content.truncated ? QByteArray() : content.bytes;
    };
    process.launch = launchIdentity({
        .cgroup = readBounded(pidDir, "cgroup", maxCgroupBytes).bytes,
        .flatpakInfo = [&] { return whole("root/.flatpak-info", maxFlatpakInfoBytes); },
        .environment = [&] { return whole("environ", maxEnvironBytes); },
    });
    return process;
}
