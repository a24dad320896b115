// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Reads at most `limit` bytes of a file. Files under /proc report a size of
// zero, and a hostile or broken file may be huge, so nothing here trusts the
// size. `truncated` tells whether the file had more.
struct BoundedContent
{
    QByteArray bytes;
    bool truncated = false;
};

// Empty when the file is missing or unreadable (a process may exit while it is read).
BoundedContent readBounded(const QString &path, qint64 limit);

// The same for `relativePath` inside an open `directory` (a file descriptor),
// which spares the walk down the whole path for each file of a /proc entry.
BoundedContent readBounded(int directory, const char *relativePath, qint64 limit);

// The two halves of the above, for a caller that closes the file itself:
// the open (a descriptor, or -1) and the read of the open file `fd`.
int openBounded(int directory, const char *relativePath);
BoundedContent readOpenFile(int fd, qint64 limit);
