// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Config.plist reader on any bytes (XML or binary property lists).

#include "ResendConfig.h"

#include <QString>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("Config.plist", 0);
    static const QString path = QStringLiteral("/proc/self/fd/") + QString::number(fd);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    readResendConfig(path);
    return 0;
}
