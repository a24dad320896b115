#include "BoundedRead.h"

#include <QFile>

#include <algorithm>

BoundedContent readBounded(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    // Read in chunks: a buffer of `limit` bytes for every small /proc file would cost more
    // than the read.
    BoundedContent content;
    char chunk[8192];
    while (content.bytes.size() <= limit) {
        const qint64 wanted = std::min<qint64>(sizeof chunk, limit + 1 - content.bytes.size());
        const qint64 got = file.read(chunk, wanted);
        if (got <= 0)
            break;
        content.bytes.append(chunk, got);
    }
    if (content.bytes.size() > limit) {
        content.bytes.truncate(limit);
        content.truncated = true;
    }
    return content;
}
