#include "ProcFiles.h"

#include <QFile>

#include <unistd.h>

namespace {

// Set in a task's flags (field 9 of `stat`) for kernel threads.
constexpr qulonglong kernelThreadFlag = 0x00200000;

} // namespace

std::optional<ProcStat> parseProcStat(QByteArrayView stat)
{
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    ProcStat parsed;
    parsed.comm = stat.sliced(open + 1, close - open - 1).toByteArray();
    // Fields counted from the state, field 3 of proc(5); read in place, since
    // every process of every pass goes through here.
    constexpr int parentIndex = 1;
    constexpr int flagsIndex = 6;
    constexpr int startTimeIndex = 19;
    bool parentOk = false;
    bool flagsOk = false;
    bool startOk = false;
    int index = 0;
    for (QByteArrayView rest = stat.sliced(close + 1); index <= startTimeIndex; ++index) {
        while (!rest.isEmpty() && QChar::isSpace(uchar(rest.front())))
            rest = rest.sliced(1);
        if (rest.isEmpty())
            break;
        qsizetype end = 0;
        while (end < rest.size() && !QChar::isSpace(uchar(rest[end])))
            ++end;
        const QByteArrayView field = rest.first(end);
        rest = rest.sliced(end);
        if (index == 0) {
            if (field.size() != 1)
                return parsed;
            parsed.state = field[0];
        } else if (index == parentIndex) {
            parsed.parentPid = field.toLongLong(&parentOk);
        } else if (index == flagsIndex) {
            parsed.flags = field.toULongLong(&flagsOk);
        } else if (index == startTimeIndex) {
            parsed.startTime = field.toULongLong(&startOk);
        }
    }
    parsed.complete = parentOk && flagsOk && startOk;
    return parsed;
}

bool isKernelThread(const ProcStat &stat)
{
    return (stat.flags & kernelThreadFlag) != 0;
}

std::optional<uint> parseRealUid(QByteArrayView status)
{
    for (qsizetype start = 0; start < status.size();) {
        qsizetype end = status.indexOf('\n', start);
        if (end < 0)
            end = status.size();
        const QByteArrayView line = status.sliced(start, end - start);
        start = end + 1;
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> fields = line.sliced(4).toByteArray().trimmed().split('\t');
        bool ok = false;
        const uint uid = fields.value(0).toUInt(&ok);
        return ok ? std::optional(uid) : std::nullopt;
    }
    return std::nullopt;
}

QList<QByteArrayView> splitCmdline(QByteArrayView cmdline, qsizetype maxArguments)
{
    QList<QByteArrayView> arguments;
    qsizetype start = 0;
    while (start < cmdline.size() && arguments.size() < maxArguments) {
        qsizetype end = cmdline.indexOf('\0', start);
        if (end < 0)
            end = cmdline.size();
        arguments.append(cmdline.sliced(start, end - start));
        start = end + 1;
    }
    return arguments;
}

QByteArray readLinkAt(int directory, const char *name)
{
    char target[4096];
    const ssize_t length = ::readlinkat(directory, name, target, sizeof target);
    return length > 0 ? QByteArray(target, length) : QByteArray();
}

QString readExecutablePath(int pidDir)
{
    QByteArray target = readLinkAt(pidDir, "exe");
    static const QByteArray deleted = QByteArrayLiteral(" (deleted)"); // replaced while running
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFile::decodeName(target);
}
