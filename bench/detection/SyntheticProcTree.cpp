// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SyntheticProcTree.h"

#include "BenchFiles.h"
#include "DesktopProcessCorpus.h"

#include <QDir>
#include <QFile>

SyntheticProcTree::SyntheticProcTree(int count, uint uid)
{
    const QStringList names = desktopProcessCorpus();
    const QByteArray environment = QByteArray("HOME=/home/user\0LANG=en_US.UTF-8\0PATH=/usr/bin\0"
                                              "XDG_SESSION_TYPE=x11\0SHELL=/bin/bash\0",
                                              86)
                                       .repeated(20);
    for (int i = 0; i < count; ++i) {
        const QByteArray pid = QByteArray::number(1000 + i);
        const QString dir = m_dir.filePath(QString::fromLatin1(pid));
        QDir().mkpath(dir);
        const QString name = names.at(i % names.size());
        const bool users = i % 2 == 0;
        QByteArray cmdline =
            QFile::encodeName(u"/usr/bin/"_qs + name) + '\0' + "--type=renderer" + '\0';
        QString exe = u"/usr/bin/"_qs + name;
        if (i % 25 == 0) { // interpreted programs
            exe = u"/usr/bin/python3.11"_qs;
            cmdline = QByteArray("/usr/bin/python3\0/usr/lib/", 26) + QFile::encodeName(name) +
                      QByteArray("/main.py\0", 9);
        }
        QFile::link(exe, dir + u"/exe"_qs);
        writeWhole(dir + u"/cmdline"_qs, cmdline);
        const QByteArray comm = QFile::encodeName(name).left(15);
        writeWhole(dir + u"/comm"_qs, comm + '\n');
        writeWhole(dir + u"/stat"_qs, pid + " (" + comm + ") S 1 " + pid +
                                          " 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 " +
                                          QByteArray::number(5000 + i) + " 1000000 500 ...\n");
        writeWhole(dir + u"/status"_qs,
                   "Name:\t" + comm + "\nUmask:\t0022\nState:\tS (sleeping)\n" + "Tgid:\t" + pid +
                       "\nPid:\t" + pid + "\nPPid:\t1\n" + "Uid:\t" +
                       QByteArray::number(users ? uid : uid + 1) + "\t0\t0\t0\nGid:\t0\t0\t0\t0\n" +
                       QByteArray("VmRSS:\t1000 kB\n").repeated(30));
        writeWhole(dir + u"/cgroup"_qs,
                   users && i % 3 == 0
                       ? "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-" +
                             QFile::encodeName(name) + "-" + pid + ".scope\n"
                       : "0::/system.slice/" + QFile::encodeName(name) + ".service\n");
        writeWhole(dir + u"/environ"_qs, environment);
    }
}
