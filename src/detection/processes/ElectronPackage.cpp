// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/ElectronPackage.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <cerrno>
#include <limits>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The whole budget for one app: the archive's directory and its package.json.
constexpr qint64 maxReadBytes = 1024 * 1024;

// A regular file opened without blocking, or -1.
int openRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QByteArray readAt(int fd, qint64 offset, qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t count = ::pread(fd, bytes.data() + got, size_t(length - got), offset + got);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        got += count;
    }
    bytes.truncate(got);
    return bytes;
}

quint32 littleEndianAt(const QByteArray &bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

} // namespace

QByteArray asarPackageJson(const std::function<QByteArray(qint64, qint64)> &readAt, qint64 maxBytes,
                           bool *unpacked)
{
    // A pickle holding the header's size, then the header: a pickle holding
    // a string, the JSON directory. File offsets count from the header's end.
    const QByteArray start = readAt(0, 16);
    if (start.size() < 16 || littleEndianAt(start, 0) != 4)
        return {};
    const qint64 headerSize = littleEndianAt(start, 4);
    const qint64 jsonLength = littleEndianAt(start, 12);
    if (jsonLength > maxBytes || 8 + jsonLength > headerSize)
        return {};
    const QByteArray directoryJson = readAt(16, jsonLength);
    if (directoryJson.size() != jsonLength)
        return {};
    const QJsonObject entry = QJsonDocument::fromJson(directoryJson)
                                  .object()
                                  .value(QStringLiteral("files"))
                                  .toObject()
                                  .value(QStringLiteral("package.json"))
                                  .toObject();
    if (entry.value(QStringLiteral("unpacked")).toBool()) {
        if (unpacked)
            *unpacked = true;
        return {};
    }
    bool offsetOk = false;
    const qint64 offset = entry.value(QStringLiteral("offset")).toString().toLongLong(&offsetOk);
    const double size = entry.value(QStringLiteral("size")).toDouble(-1);
    if (!offsetOk || offset < 0 || size < 0 || size > double(maxBytes - jsonLength) ||
        offset > std::numeric_limits<qint64>::max() - 8 - headerSize)
        return {};
    return readAt(8 + headerSize + offset, qint64(size));
}

PackageNames parsePackageJson(QByteArrayView json)
{
    const QJsonObject package = QJsonDocument::fromJson(json.toByteArray()).object();
    return {package.value(QStringLiteral("name")).toString(),
            package.value(QStringLiteral("productName")).toString()};
}

PackageNames electronPackageNames(const QString &executableFolder)
{
    const QString resources = executableFolder + QStringLiteral("/resources/");
    const auto readWhole = [](const QString &path) -> std::optional<QByteArray> {
        const int fd = openRegularFile(path);
        if (fd < 0)
            return std::nullopt;
        QByteArray json = readAt(fd, 0, maxReadBytes);
        ::close(fd);
        return json;
    };
    if (const int fd = openRegularFile(resources + QStringLiteral("app.asar")); fd >= 0) {
        bool unpacked = false;
        const QByteArray json = asarPackageJson(
            [fd](qint64 offset, qint64 length) { return readAt(fd, offset, length); },
            maxReadBytes, &unpacked);
        ::close(fd);
        if (!unpacked)
            return parsePackageJson(json);
        return parsePackageJson(
            readWhole(resources + QStringLiteral("app.asar.unpacked/package.json")).value_or(""));
    }
    if (const auto json = readWhole(resources + QStringLiteral("app/package.json")))
        return parsePackageJson(*json);
    return {};
}
