// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/proc/ProcFiles.h"

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
        // "Uid:\treal\teffective\tsaved\tfilesystem", read in place.
        QByteArrayView real = line.sliced(4).trimmed();
        if (const qsizetype tab = real.indexOf('\t'); tab >= 0)
            real.truncate(tab);
        bool ok = false;
        const uint uid = real.toUInt(&ok);
        return ok ? std::optional(uid) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QByteArray> parseStatusName(QByteArrayView status)
{
    static constexpr QByteArrayView key = "Name:\t";
    if (!status.startsWith(key)) // the first line, always
        return std::nullopt;
    QByteArrayView escaped = status.sliced(key.size());
    if (const qsizetype end = escaped.indexOf('\n'); end >= 0)
        escaped.truncate(end);
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    QByteArray name;
    name.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const qsizetype rest = escaped.size() - i - 1;
        if (escaped[i] != '\\' || rest < 1) {
            name.append(escaped[i]);
        } else if (escaped[i + 1] == 'n' || escaped[i + 1] == '\\') {
            name.append(escaped[i + 1] == 'n' ? '\n' : '\\');
            ++i;
        } else if (rest >= 3 && escaped[i + 1] >= '0' && escaped[i + 1] <= '3' &&
                   isOctal(escaped[i + 2]) && isOctal(escaped[i + 3])) {
            name.append(char((escaped[i + 1] - '0') * 64 + (escaped[i + 2] - '0') * 8 +
                             (escaped[i + 3] - '0')));
            i += 3;
        } else {
            name.append(escaped[i]);
        }
    }
    return name;
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

QString executablePathFromLink(QByteArray target)
{
    static const QByteArray deleted = QByteArrayLiteral(" (deleted)"); // replaced while running
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFile::decodeName(target);
}
