// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "InMemoryCaches.h"

#include <QCoreApplication>
#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr char parent[] = "/dev/shm";
constexpr char prefix[] = "nimbrel-cache-";
constexpr char lockName[] = "/instance.lock";

// Removes this user's cache directories whose instance is gone: their lock
// file can be locked. One without a lock file may be an instance starting
// this moment, so it stays.
void sweepDeadInstances()
{
    const QDir shm(QString::fromLatin1(parent));
    const QStringList names = shm.entryList({QLatin1String(prefix) + QLatin1Char('*')},
                                            QDir::Dirs | QDir::NoSymLinks | QDir::Hidden);
    for (const QString &name : names) {
        const QByteArray directory = QFile::encodeName(shm.filePath(name));
        struct stat status = {};
        if (lstat(directory.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != geteuid())
            continue;
        const int lock =
            open((directory + lockName).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (lock < 0)
            continue;
        if (flock(lock, LOCK_EX | LOCK_NB) == 0)
            QDir(QFile::decodeName(directory)).removeRecursively();
        close(lock);
    }
}

} // namespace

InMemoryCaches::InMemoryCaches()
{
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    qputenv("MESA_SHADER_CACHE_DISABLE", "true");
    // QML's cache stays on: Nimbrel's QML and Qt's own are compiled into the
    // binaries, so it writes nothing, and turning it off would compile every
    // file from source at each start (about a tenth of the first frame).

    sweepDeadInstances();
    // Whatever still writes a cache writes it here, in memory, where only we can read it.
    QByteArray directory =
        QByteArray(parent) + '/' + prefix + QByteArray::number(getpid()) + "-XXXXXX";
    if (mkdtemp(directory.data()) == nullptr)
        return;
    m_directory = directory;
    // Locked before it takes its name, so a sweep never sees it free.
    const QByteArray unnamed = directory + "/lock-being-made";
    m_lock = open(unnamed.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lock >= 0 && flock(m_lock, LOCK_EX) == 0)
        rename(unnamed.constData(), (directory + lockName).constData());
    qputenv("XDG_CACHE_HOME", m_directory);
    // Without a runtime directory Qt would make /tmp/runtime-<user> on disk.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", m_directory);
}

InMemoryCaches::~InMemoryCaches()
{
    if (!m_directory.isEmpty())
        QDir(QString::fromLocal8Bit(m_directory)).removeRecursively();
    if (m_lock >= 0)
        close(m_lock);
}
