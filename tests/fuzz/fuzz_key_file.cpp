// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop-entry key-file parser on any bytes, cut or whole.

#include "detection/desktop/KeyFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const KeyFile file = KeyFile::parse(bytes, data[0] & 1);
    const QStringList locales =
        localeLookupKeys(QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 32))));
    file.localizedValue(QStringLiteral("Desktop Entry"), QStringLiteral("Name"), locales);
    file.value(QStringLiteral("Desktop Entry"), QStringLiteral("StartupWMClass"));
    return 0;
}
