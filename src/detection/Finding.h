#pragma once

#include "NameSource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One thing the scan saw that made a finding.
struct Evidence
{
    NameSource source;
    QString name; // the name that matched; for an overlay window, its window id
    std::optional<qint64> pid{};
    QStringList traits{}; // an overlay window's: "always on top", "click-through", ...

    bool operator==(const Evidence &) const = default;
};

enum class FindingKind { Cluely, Generic, Overlay };
enum class FindingSource { Process, Application, Window };

// One detection line and what it rests on.
struct Finding
{
    QString line;
    FindingKind kind;
    FindingSource source;
    QList<qint64> pids{}; // every process the line stands for, when known
    QList<Evidence> evidence{};
};

QString findingKindLabel(FindingKind kind);
QString findingSourceLabel(FindingSource source);
