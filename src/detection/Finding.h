// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/NameSource.h"

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

// Cluely: a name that identifies the tool's program; Possible: a name that
// only mentions it (a title, a folder, an open file); Limited: something the
// scan could not see.
enum class FindingKind { Cluely, Generic, Overlay, Possible, Limited };
enum class FindingSource { Process, Application, Window, Scan };

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
