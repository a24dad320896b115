// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/ProgramFiles.h"

#include "detection/proc/ProcFiles.h"
#include "detection/proc/ProcessDirectory.h"

#include <QFile>
#include <QSet>

#include <array>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File names of code that an interpreter, a runtime or a loader runs.
constexpr std::array<QStringView, 45> programExtensions = {
    u"py",   u"pyc", u"pyw", u"pyz",    u"js",    u"mjs",  u"cjs",  u"ts",   u"mts",
    u"jar",  u"war", u"class", u"java", u"kt",    u"kts",  u"groovy", u"scala", u"clj",
    u"pl",   u"pm",  u"rb",  u"php",    u"phar",  u"tcl",  u"tk",   u"lua",  u"sh",
    u"bash", u"zsh", u"fish", u"ps1",   u"r",     u"jl",   u"exs",  u"erl",  u"dart",
    u"swift", u"exe", u"dll", u"so",    u"node",  u"wasm", u"asar", u"appimage", u"awk",
};

bool hasProgramExtension(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QStringView extension = fileName.sliced(dot + 1);
    for (QStringView known : programExtensions) {
        if (extension.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Every file an open or stat below /proc/PID/root may reach is the process's
// own view; when that link is closed to us (another user's process), the
// same path in our own view is the best there is.
int statBelowRoot(const ProcessDirectory &process, const QByteArray &path, struct stat *status)
{
    const QByteArray below = process.pathOf("root") + path;
    if (::fstatat(process.procRoot(), below.constData(), status, 0) == 0)
        return 0;
    if (errno != EACCES && errno != EPERM)
        return -1;
    return ::stat(path.constData(), status);
}

QByteArray headOf(const ProcessDirectory &process, const QByteArray &path)
{
    const QByteArray below = process.pathOf("root") + path;
    int fd = ::openat(process.procRoot(), below.constData(),
                      O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0 && (errno == EACCES || errno == EPERM))
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    char head[4];
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return got > 0 ? QByteArray(head, got) : QByteArray();
}

// Descriptors that name no file in the file system.
bool isFilePath(QByteArrayView target)
{
    return target.startsWith('/') && !target.startsWith("/dev/") && !target.startsWith("/proc/");
}

} // namespace

bool looksLikeProgram(QByteArrayView head, bool executable, QStringView fileName)
{
    return executable || head.startsWith("#!") || head.startsWith("\x7f" "ELF") ||
           head.startsWith("PK\x03\x04") || head.startsWith("\xca\xfe\xba\xbe") ||
           head == QByteArrayView("\x04\0\0\0", 4) || hasProgramExtension(fileName);
}

PathKind examinePath(const ProcessDirectory &process, const QString &absolutePath)
{
    const QByteArray path = QFile::encodeName(absolutePath);
    struct stat status;
    if (!path.startsWith('/') || statBelowRoot(process, path, &status) != 0)
        return PathKind::Missing;
    if (S_ISDIR(status.st_mode))
        return PathKind::Folder;
    if (!S_ISREG(status.st_mode))
        return PathKind::File; // a FIFO or device is never opened
    const qsizetype slash = absolutePath.lastIndexOf(u'/');
    return looksLikeProgram(headOf(process, path), status.st_mode & 0111,
                            QStringView(absolutePath).sliced(slash + 1))
               ? PathKind::Program
               : PathKind::File;
}

QList<HeldFile> openFiles(const ProcessDirectory &process, int maxFiles)
{
    QList<HeldFile> files;
    const int folder = ::openat(process.procRoot(), process.pathOf("fd").constData(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return files;
    DIR *listing = ::fdopendir(folder);
    if (!listing) {
        ::close(folder);
        return files;
    }
    QSet<QString> seen;
    int looked = 0;
    while (const dirent *entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        if (++looked > maxFiles)
            break;
        const QByteArray target = readLinkAt(folder, entry->d_name);
        if (!isFilePath(target))
            continue;
        const QString path = executablePathFromLink(target);
        if (!seen.contains(path)) {
            seen.insert(path);
            files.append({path});
        }
    }
    ::closedir(listing);
    return files;
}

QList<HeldFile> mappedFiles(QByteArrayView maps)
{
    // "7f1c2a000000-7f1c2a021000 r-xp 00000000 08:01 1234   /usr/lib/x.so"
    QList<HeldFile> files;
    QHash<QString, qsizetype> index;
    for (qsizetype start = 0; start < maps.size();) {
        qsizetype end = maps.indexOf('\n', start);
        if (end < 0)
            end = maps.size();
        const QByteArrayView line = maps.sliced(start, end - start);
        start = end + 1;
        const qsizetype perms = line.indexOf(' ');
        const qsizetype path = line.indexOf('/');
        if (perms < 0 || path < 0 || perms + 4 >= line.size())
            continue;
        const bool executable = line[perms + 4] == 'x';
        const QString file = executablePathFromLink(line.sliced(path).toByteArray());
        if (auto known = index.constFind(file); known != index.constEnd()) {
            files[*known].executableMapping = files[*known].executableMapping || executable;
            continue;
        }
        index.insert(file, files.size());
        files.append({file, executable});
    }
    return files;
}
