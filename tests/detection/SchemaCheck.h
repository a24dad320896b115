// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

// Checks JSON documents against nimbrel-scan's schema with Debian's
// python3-jsonschema (Draft 2020-12). For each document: "valid", or
// "invalid: " and the first error's message.
inline QStringList schemaVerdicts(const QList<QByteArray> &documents)
{
    static const char *validator = R"(
import json, sys, jsonschema
validator = jsonschema.Draft202012Validator(json.load(open(sys.argv[1])))
validator.check_schema(validator.schema)
for line in sys.stdin:
    errors = sorted(validator.iter_errors(json.loads(line)), key=lambda e: e.path)
    print("valid" if not errors else "invalid: " + errors[0].message)
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(validator),
                  QStringLiteral(NIMBREL_SCAN_SCHEMA)});
    for (const QByteArray &document : documents) // one line each
        python.write(QJsonDocument::fromJson(document).toJson(QJsonDocument::Compact) + '\n');
    python.closeWriteChannel();
    if (!python.waitForFinished(60'000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
