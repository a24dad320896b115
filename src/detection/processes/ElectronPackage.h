// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// The names an Electron-style application gives itself in its package.json,
// which its renamed executable no longer shows.
struct PackageNames
{
    QString name;
    QString productName;

    bool operator==(const PackageNames &) const = default;
};

// The package.json of the app beside an executable in `executableFolder`:
// resources/app.asar (the archive's own package.json, or the one it marks
// unpacked in resources/app.asar.unpacked/), else resources/app/package.json. Empty when there is none. At most 1 MiB is read
// in all, only from regular files, and nothing blocks (a FIFO planted there
// reads as missing).
PackageNames electronPackageNames(const QString &executableFolder);

// The package.json inside an asar archive, read through `readAt(offset,
// length)` (which may return less at the end): the archive's header (a pickle
// holding a JSON directory of at most `maxBytes`) locates the file, which is
// returned when it too fits `maxBytes`. Empty when the archive is malformed,
// or when the directory marks the file unpacked (kept beside the archive, in
// app.asar.unpacked/): `unpacked` tells which.
QByteArray asarPackageJson(const std::function<QByteArray(qint64, qint64)> &readAt,
                           qint64 maxBytes, bool *unpacked = nullptr);

// "name" and "productName" of a package.json, each when it is a string.
PackageNames parsePackageJson(QByteArrayView json);
