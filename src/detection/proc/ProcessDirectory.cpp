// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/proc/ProcessDirectory.h"

#include <QFile>

#include <algorithm>
#include <limits>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 maxStatusBytes = 16 * 1024;
constexpr qint64 maxStatBytes = 4096;
constexpr qint64 maxCmdlineBytes = 64 * 1024;

// The pid a folder name gives, or 0 when it is no process folder.
qint64 pidOf(const char *name)
{
    qint64 pid = 0;
    for (const char *digit = name; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9' || pid > (std::numeric_limits<qint64>::max() - 9) / 10)
            return 0;
        pid = pid * 10 + (*digit - '0');
    }
    return pid;
}

} // namespace

ProcessDirectory::ProcessDirectory(int procRoot, const char *name, qint64 pid)
    : m_root(procRoot), m_prefix(QByteArray(name) + '/'), m_pid(pid)
{}

ProcessDirectory::~ProcessDirectory()
{
    // A pass over thousands of processes is mostly system calls: one call
    // closes each run of consecutive descriptors, which the folder's files
    // almost always are. All of a run are this folder's, so no other
    // thread's file is in it.
    std::sort(m_openFiles.begin(), m_openFiles.end());
    for (size_t first = 0; first < m_openFiles.size();) {
        size_t last = first;
        while (last + 1 < m_openFiles.size() && m_openFiles[last + 1] == m_openFiles[last] + 1)
            ++last;
        if (::close_range(uint(m_openFiles[first]), uint(m_openFiles[last]), 0) != 0) {
            for (size_t i = first; i <= last; ++i)
                ::close(m_openFiles[i]);
        }
        first = last + 1;
    }
}

BoundedContent ProcessDirectory::read(const char *file, qint64 limit)
{
    const int fd = openBounded(m_root, path(file).constData());
    if (fd < 0)
        return {};
    m_openFiles.push_back(fd);
    return readOpenFile(fd, limit);
}

QByteArray ProcessDirectory::readLink(const char *link) const
{
    return readLinkAt(m_root, path(link).constData());
}

const QByteArray &ProcessDirectory::status()
{
    if (!m_status)
        m_status = read("status", maxStatusBytes).bytes;
    return *m_status;
}

const std::optional<ProcStat> &ProcessDirectory::stat()
{
    if (!m_stat)
        m_stat = parseProcStat(read("stat", maxStatBytes).bytes);
    return *m_stat;
}

const QString &ProcessDirectory::executablePath()
{
    if (!m_executablePath)
        m_executablePath = executablePathFromLink(readLink("exe"));
    return *m_executablePath;
}

const QByteArray &ProcessDirectory::cmdline()
{
    if (!m_cmdline)
        m_cmdline = read("cmdline", maxCmdlineBytes).bytes;
    return *m_cmdline;
}

void forEachProcessDirectory(const QString &procRoot,
                             const std::function<void(ProcessDirectory &)> &visit)
{
    const int root =
        ::open(QFile::encodeName(procRoot).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return;
    DIR *listing = ::fdopendir(::dup(root));
    if (!listing) {
        ::close(root);
        return;
    }
    while (const dirent *entry = ::readdir(listing)) {
        if (const qint64 pid = pidOf(entry->d_name); pid > 0) {
            ProcessDirectory process(root, entry->d_name, pid);
            visit(process);
        }
    }
    ::closedir(listing);
    ::close(root);
}
