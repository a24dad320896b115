// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The /proc stat, status (uid and Name) and cmdline parsers on any bytes, and the
// interpreter's program read from the arguments they give.

#include "detection/proc/ProcFiles.h"
#include "detection/processes/InterpretedProgram.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    parseProcStat(bytes);
    parseRealUid(bytes);
    if (const std::optional<QByteArray> name = parseStatusName(bytes)) {
        // Unescaping only ever shortens the line it came from.
        if (name->size() > bytes.size())
            __builtin_trap();
    }
    QStringList arguments;
    for (QByteArrayView argument : splitCmdline(bytes, 64))
        arguments.append(QFile::decodeName(argument.toByteArray()));
    if (!arguments.isEmpty()) {
        if (const auto program = interpretedProgram(arguments.first(), arguments))
            interpretedProgramPath(*program, QStringLiteral("/work"));
    }
    return 0;
}
