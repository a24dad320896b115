// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/proc/BoundedRead.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

BoundedContent readBounded(const QString &path, qint64 limit)
{
    return readBounded(AT_FDCWD, QFile::encodeName(path).constData(), limit);
}

BoundedContent readBounded(int directory, const char *relativePath, qint64 limit)
{
    const int fd = openBounded(directory, relativePath);
    if (fd < 0)
        return {};
    BoundedContent content = readOpenFile(fd, limit);
    ::close(fd);
    return content;
}

int openBounded(int directory, const char *relativePath)
{
    // Plain system calls: a pass reads several /proc files per process, and
    // QFile's extra stat per open doubled the cost of the whole source.
    // O_NONBLOCK keeps a FIFO planted among desktop entries from blocking the open.
    return ::openat(directory, relativePath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

BoundedContent readOpenFile(int fd, qint64 limit)
{
    BoundedContent content;
    char chunk[8192];
    while (content.bytes.size() <= limit) {
        const qint64 wanted = std::min<qint64>(sizeof chunk, limit + 1 - content.bytes.size());
        const ssize_t got = ::read(fd, chunk, size_t(wanted));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        content.bytes.append(chunk, got);
        if (got < wanted)
            break; // regular and /proc files end where a read comes up short
    }
    if (content.bytes.size() > limit) {
        content.bytes.truncate(limit);
        content.truncated = true;
    }
    return content;
}
