// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/proc/ProcVisibility.h"

#include "detection/proc/BoundedRead.h"
#include "detection/proc/ProcFiles.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

// The initial PID namespace's inode number, fixed by the kernel (PROC_PID_INIT_INO).
constexpr QByteArrayView initialPidNamespace = "pid:[4026531836]";

constexpr qint64 maxStatusBytes = 16 * 1024;
constexpr qint64 maxMountinfoBytes = 1024 * 1024;

// A mount point as mountinfo writes it, with space, tab, newline and
// backslash in octal ("\040").
QByteArray unescaped(QByteArrayView field)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    QByteArray text;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            text.append(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                             (field[i + 3] - '0')));
            i += 3;
        } else {
            text.append(field[i]);
        }
    }
    return text;
}

QList<uint> ownGroups()
{
    QList<uint> groups{uint(getegid())};
    gid_t list[256];
    const int count = getgroups(256, list);
    for (int i = 0; i < count; ++i)
        groups.append(uint(list[i]));
    return groups;
}

} // namespace

int namespaceDepth(QByteArrayView status)
{
    static constexpr QByteArrayView key = "NSpid:";
    qsizetype start = status.startsWith(key) ? 0 : status.indexOf("\nNSpid:");
    if (start < 0)
        return 0;
    start += status.startsWith(key) ? key.size() : key.size() + 1;
    qsizetype end = status.indexOf('\n', start);
    if (end < 0)
        end = status.size();
    // "NSpid:\t6285\t1": one id for each namespace, the outermost first.
    int ids = 0;
    for (qsizetype i = start; i < end; ++i)
        ids += QChar::isSpace(uchar(status[i - 1])) && !QChar::isSpace(uchar(status[i]));
    return ids;
}

bool hidesOtherUsers(QByteArrayView mountinfo, QByteArrayView mountPoint, const QList<uint> &groups)
{
    // "36 35 0:20 / /proc rw,relatime shared:12 - proc proc rw,hidepid=invisible,gid=27"
    std::optional<bool> hides;
    for (qsizetype start = 0; start < mountinfo.size();) {
        qsizetype end = mountinfo.indexOf('\n', start);
        if (end < 0)
            end = mountinfo.size();
        const QByteArrayView line = mountinfo.sliced(start, end - start);
        start = end + 1;
        const QList<QByteArray> fields = line.toByteArray().split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 0 || separator + 3 >= fields.size() ||
            fields[separator + 1] != "proc" || unescaped(fields[4]) != mountPoint)
            continue;
        bool hidden = false;
        std::optional<uint> seeingGroup;
        for (const QByteArray &option : fields[separator + 3].split(',')) {
            if (option.startsWith("hidepid="))
                hidden = option != "hidepid=0" && option != "hidepid=off";
            else if (option.startsWith("gid="))
                seeingGroup = option.sliced(4).toUInt();
        }
        hides = hidden && !(seeingGroup && groups.contains(*seeingGroup));
    }
    return hides.value_or(false);
}

QStringList procVisibilityLimits(const QString &procRoot)
{
    struct statfs fs;
    if (::statfs(QFile::encodeName(procRoot).constData(), &fs) != 0 ||
        fs.f_type != PROC_SUPER_MAGIC)
        return {};
    QStringList limits;
    const int root =
        ::open(QFile::encodeName(procRoot).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return {};
    // Without an entry of its own the tree belongs to a namespace this
    // process is not in; with one id alone in NSpid, to this process's own
    // namespace, which must then be the initial one.
    const QByteArray status = readBounded(root, "self/status", maxStatusBytes).bytes;
    const QByteArray pidNamespace = readLinkAt(root, "self/ns/pid");
    if (status.isEmpty() ||
        (namespaceDepth(status) == 1 && !pidNamespace.isEmpty() &&
         QByteArrayView(pidNamespace) != initialPidNamespace))
        limits << QStringLiteral("processes outside Nimbrel's own PID namespace");
    if (geteuid() != 0) {
        const QByteArray mountinfo = readBounded(root, "self/mountinfo", maxMountinfoBytes).bytes;
        if (hidesOtherUsers(mountinfo, QFile::encodeName(QFileInfo(procRoot).canonicalFilePath()),
                            ownGroups()))
            limits << QStringLiteral("other users' processes (hidepid)");
    }
    ::close(root);
    return limits;
}
