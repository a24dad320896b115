// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The cgroup file, unit-name and systemd-escape parsers on any bytes.

#include "detection/desktop/CgroupApplication.h"
#include "detection/desktop/SystemdEscape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    cgroupApplications(bytes);
    const QString text = QString::fromUtf8(bytes);
    applicationUnit(text);
    snapUnit(text);
    systemdUnescape(text);
    return 0;
}
