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
