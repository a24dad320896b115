// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/FindingsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int formatVersion = 1;

QJsonObject evidenceObject(const Evidence &evidence)
{
    QJsonObject object{{QStringLiteral("source"), nameSourceLabel(evidence.source)},
                       {QStringLiteral("name"), evidence.name}};
    if (evidence.pid)
        object.insert(QStringLiteral("pid"), double(*evidence.pid));
    if (!evidence.traits.isEmpty())
        object.insert(QStringLiteral("traits"), QJsonArray::fromStringList(evidence.traits));
    return object;
}

QJsonObject findingObject(const Finding &finding)
{
    QJsonArray pids;
    for (qint64 pid : finding.pids)
        pids.append(double(pid));
    QJsonArray evidence;
    for (const Evidence &item : finding.evidence)
        evidence.append(evidenceObject(item));
    return {{QStringLiteral("line"), finding.line},
            {QStringLiteral("kind"), findingKindLabel(finding.kind)},
            {QStringLiteral("source"), findingSourceLabel(finding.source)},
            {QStringLiteral("pids"), pids},
            {QStringLiteral("evidence"), evidence}};
}

} // namespace

QByteArray findingsJson(const ScanResult &scan, const QDateTime &time, const QString &host)
{
    QJsonArray array;
    for (const Finding &finding : scan.findings)
        array.append(findingObject(finding));
    const QJsonObject context{
        {QStringLiteral("environment"), QJsonArray::fromStringList(scan.context.environment)},
        {QStringLiteral("coverage"), QJsonArray::fromStringList(scan.context.coverage)}};
    const QJsonObject document{{QStringLiteral("version"), formatVersion},
                               {QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs)},
                               {QStringLiteral("host"), host},
                               {QStringLiteral("findings"), array},
                               {QStringLiteral("context"), context}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}
