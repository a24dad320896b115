// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/NameSource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One name a process shows, and where it shows it.
struct ProcessName
{
    QString name;
    NameSource source;

    bool operator==(const ProcessName &) const = default;
};

// One process, or for a reader that sees only names, one distinct name.
struct ObservedProcess
{
    std::optional<qint64> pid;
    QList<ProcessName> names; // in the order the scan tests them

    bool operator==(const ObservedProcess &) const = default;
};

// Where the scan pass gets the machine's process table from.
class ProcessSource
{
public:
    virtual ~ProcessSource() = default;

    // Every process of every user, in no particular order; empty when the
    // table cannot be read.
    virtual QList<ObservedProcess> runningProcesses() const = 0;

    // What the table could not show, and why, one text each (e.g. "other
    // users' processes (hidepid)"); reported by the pass as findings.
    virtual QStringList processLimits() const { return {}; }
};
