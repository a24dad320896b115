// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostileDesktop.h"

#include "BenchFiles.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

HostileDesktop::HostileDesktop(int processes, uint uid)
{
    for (const QString &folder : {entryFolder(), ownFolder()})
        QDir().mkpath(folder);
    for (int i = 0; i < processes; ++i) {
        const QByteArray pid = QByteArray::number(2000 + i);
        const QString dir = procRoot() + u'/' + QString::fromLatin1(pid);
        QDir().mkpath(dir);
        QFile::link(QStringLiteral("/usr/bin/notes"), dir + QStringLiteral("/exe"));
        writeWhole(dir + QStringLiteral("/cmdline"), QByteArray("notes\0", 6));
        writeWhole(dir + QStringLiteral("/stat"), pid + " (notes) S 1 " + pid +
                                                      " 1 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " +
                                                      QByteArray::number(9000 + i) + " 1 ...\n");
        writeWhole(dir + QStringLiteral("/status"),
                   "Name:\tnotes\nUid:\t" + QByteArray::number(uid) + "\t0\t0\t0\n");
        writeWhole(dir + QStringLiteral("/cgroup"), "0::/user.slice/session-2.scope\n");
    }
}

void HostileDesktop::setEnvironment(const QByteArray &environment) const
{
    const QDir proc(procRoot());
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        writeWhole(proc.filePath(pid) + QStringLiteral("/environ"), environment);
}

void HostileDesktop::setNames(const std::function<QByteArray(int)> &nameOf) const
{
    const QDir proc(procRoot());
    const QStringList pids = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (int i = 0; i < pids.size(); ++i) {
        const QString dir = proc.filePath(pids[i]);
        const QByteArray name = nameOf(i);
        QFile::remove(dir + QStringLiteral("/exe"));
        QFile::link(QStringLiteral("/usr/bin/") + QString::fromUtf8(name), dir + QStringLiteral("/exe"));
        writeWhole(dir + QStringLiteral("/cmdline"), name + '\0');
        writeWhole(dir + QStringLiteral("/status"),
                   "Name:\t" + name.left(15) + "\nUid:\t" + QByteArray::number(getuid()) +
                       "\t0\t0\t0\n");
    }
}

QByteArray paddedDesktopEntry(const QByteArray &keys, qsizetype size)
{
    QByteArray entry = "[Desktop Entry]\n" + keys + "\nExec=notes\n";
    const QByteArray comment = "# " + QByteArray(76, 'x') + '\n';
    while (entry.size() + comment.size() <= size)
        entry += comment;
    return entry;
}

QByteArray combiningMarks(qsizetype count)
{
    return QByteArray("\xcc\x81").repeated(count);
}
