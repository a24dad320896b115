#include "ProcFsReader.h"

#include "BoundedRead.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

// /proc files are small; anything bigger is not a real /proc.
constexpr qint64 maxStatBytes = 4096;
constexpr qint64 maxStatusBytes = 16 * 1024;
constexpr qint64 maxCgroupBytes = 16 * 1024;
constexpr qint64 maxCmdlineBytes = 16 * 1024;
// The environment may be long; the hints are kept only when seen whole.
constexpr qint64 maxEnvironBytes = 1024 * 1024;
constexpr qint64 maxFlatpakInfoBytes = 64 * 1024;

const QByteArray gioHint = QByteArrayLiteral("GIO_LAUNCHED_DESKTOP_FILE=");
const QByteArray bamfHint = QByteArrayLiteral("BAMF_DESKTOP_FILE_HINT=");

std::optional<uint> realUid(const QByteArray &status)
{
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> fields = line.sliced(4).trimmed().split('\t');
        bool ok = false;
        const uint uid = fields.value(0).toUInt(&ok);
        return ok ? std::optional(uid) : std::nullopt;
    }
    return std::nullopt;
}

struct StatFields
{
    char state = 0;
    qint64 parentPid = 0;
    quint64 startTime = 0;
};

// "pid (comm) state ppid ... starttime ...": comm may hold spaces and ')',
// so the fields are counted after the last ')'.
std::optional<StatFields> parseStat(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.sliced(close + 1).trimmed().split(' ');
    constexpr qsizetype startTimeIndex = 19; // field 22 of proc(5)
    if (fields.size() <= startTimeIndex || fields[0].size() != 1)
        return std::nullopt;
    StatFields parsed;
    bool parentOk = false;
    bool startOk = false;
    parsed.state = fields[0][0];
    parsed.parentPid = fields[1].toLongLong(&parentOk);
    parsed.startTime = fields[startTimeIndex].toULongLong(&startOk);
    if (!parentOk || !startOk)
        return std::nullopt;
    return parsed;
}

QString lastPathComponent(const QString &path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString executableName(const QString &pidDir, const QByteArray &cmdline)
{
    QString target = QFileInfo(pidDir + QStringLiteral("/exe")).symLinkTarget();
    const QString deleted = QStringLiteral(" (deleted)"); // the file was replaced while running
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    if (!lastPathComponent(target).isEmpty())
        return lastPathComponent(target);
    const QString argv0 = lastPathComponent(QString::fromUtf8(cmdline.left(cmdline.indexOf('\0'))));
    if (!argv0.trimmed().isEmpty())
        return argv0.trimmed();
    return QString::fromUtf8(readBounded(pidDir + QStringLiteral("/comm"), 64).bytes).trimmed();
}

// The desktop file path a launcher (GIO, BAMF) left for the process.
QString launcherHint(const BoundedContent &environ)
{
    if (environ.truncated)
        return {};
    QString bamf;
    for (const QByteArray &variable : environ.bytes.split('\0')) {
        if (variable.startsWith(gioHint))
            return QString::fromUtf8(variable.sliced(gioHint.size()));
        if (variable.startsWith(bamfHint))
            bamf = QString::fromUtf8(variable.sliced(bamfHint.size()));
    }
    return bamf;
}

} // namespace

ProcFsReader::ProcFsReader(QString procRoot, uint uid) : m_procRoot(std::move(procRoot)), m_uid(uid)
{}

QList<ProcessRecord> ProcFsReader::userProcesses() const
{
    QList<ProcessRecord> processes;
    const QStringList entries = QDir(m_procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
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

std::optional<ProcessRecord> ProcFsReader::read(const QString &pidDir, qint64 pid) const
{
    if (realUid(readBounded(pidDir + QStringLiteral("/status"), maxStatusBytes).bytes) != m_uid)
        return std::nullopt;
    const auto stat = parseStat(readBounded(pidDir + QStringLiteral("/stat"), maxStatBytes).bytes);
    if (!stat || stat->state == 'Z' || stat->state == 'X')
        return std::nullopt;
    const QByteArray cmdline =
        readBounded(pidDir + QStringLiteral("/cmdline"), maxCmdlineBytes).bytes;
    if (cmdline.isEmpty())
        return std::nullopt; // kernel thread, or gone

    ProcessRecord process;
    process.pid = pid;
    process.parentPid = stat->parentPid;
    process.startTime = stat->startTime;
    process.executable = executableName(pidDir, cmdline);
    process.cgroup = readBounded(pidDir + QStringLiteral("/cgroup"), maxCgroupBytes).bytes;
    const BoundedContent flatpakInfo =
        readBounded(pidDir + QStringLiteral("/root/.flatpak-info"), maxFlatpakInfoBytes);
    if (!flatpakInfo.truncated)
        process.flatpakInfo = flatpakInfo.bytes;
    process.launcherHint =
        launcherHint(readBounded(pidDir + QStringLiteral("/environ"), maxEnvironBytes));
    return process;
}
