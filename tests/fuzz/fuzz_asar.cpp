// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The asar archive and package.json readers on any bytes: offsets, sizes and
// the JSON directory all come from the file.

#include "detection/processes/ElectronPackage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray archive =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray json = asarPackageJson(
        [&archive](qint64 offset, qint64 length) {
            if (offset < 0 || length < 0 || offset >= archive.size())
                return QByteArray();
            return archive.mid(offset, length);
        },
        64 * 1024);
    parsePackageJson(json);
    parsePackageJson(archive);
    return 0;
}
