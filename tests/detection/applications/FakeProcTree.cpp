#include "FakeProcTree.h"

#include <QDir>
#include <QFile>

FakeProcTree::FakeProcTree()
{
    Q_ASSERT(m_dir.isValid());
}

void FakeProcTree::write(qint64 pid, const QString &file, const QByteArray &content)
{
    const QString path = m_dir.path() + u'/' + QString::number(pid) + u'/' + file;
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile out(path);
    if (out.open(QIODevice::WriteOnly))
        out.write(content);
}

void FakeProcTree::add(const Process &process)
{
    const QString dir = m_dir.path() + u'/' + QString::number(process.pid);
    QDir().mkpath(dir);
    const QByteArray comm =
        QFile::encodeName(process.executable.sliced(process.executable.lastIndexOf(u'/') + 1))
            .left(15);
    write(process.pid, QStringLiteral("comm"), comm + '\n');
    // Fields after the command: state ppid pgrp session tty tpgid flags minflt
    // cminflt majflt cmajflt utime stime cutime cstime priority nice threads
    // itrealvalue starttime ...
    write(process.pid, QStringLiteral("stat"),
          QByteArray::number(process.pid) + " (" + comm + ") " + process.state + ' ' +
              QByteArray::number(process.parentPid) + " 1 1 0 -1 " +
              (process.kernelThread ? "2129984" : "4194560") + " 1 0 0 0 0 0 0 0 20 0 1 0 " +
              QByteArray::number(process.startTime) + " 1000 100 18446744073709551615\n");
    const QByteArray uid = QByteArray::number(process.uid);
    write(process.pid, QStringLiteral("status"),
          "Name:\t" + comm + "\nState:\t" + process.state + "\nUid:\t" + uid + '\t' + uid + '\t' +
              uid + '\t' + uid + "\nGid:\t0\t0\t0\t0\n");
    write(process.pid, QStringLiteral("cmdline"),
          process.cmdline.value_or(QFile::encodeName(process.executable) + '\0'));
    write(process.pid, QStringLiteral("cgroup"), process.cgroup);
    write(process.pid, QStringLiteral("environ"), process.environ);
    if (!process.flatpakInfo.isEmpty())
        write(process.pid, QStringLiteral("root/.flatpak-info"), process.flatpakInfo);
    if (!process.executable.isEmpty())
        QFile::link(process.executable, dir + QStringLiteral("/exe"));
}
