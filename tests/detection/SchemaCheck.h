#pragma once

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Checks JSON documents against nimbrel-scan's schema with Debian's
// python3-jsonschema (Draft 2020-12). For each document: "valid", or
// "invalid: " and the first error's message.
inline QStringList schemaVerdicts(const QList<QByteArray> &documents)
{
    static const char *validator = R"(
import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
for path in sys.argv[2:]:
    errors = sorted(validator.iter_errors(json.load(open(path))), key=lambda e: e.path)
    print("valid" if not errors else "invalid: " + errors[0].message)
)";
    QTemporaryDir dir;
    QStringList arguments{QStringLiteral("-c"), QString::fromLatin1(validator),
                          QStringLiteral(NIMBREL_SCAN_SCHEMA)};
    for (qsizetype i = 0; i < documents.size(); ++i) {
        const QString path = dir.filePath(QString::number(i) + QStringLiteral(".json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(documents[i]) != documents[i].size())
            return {QStringLiteral("cannot write ") + path};
        arguments << path;
    }
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!python.waitForFinished(60'000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
