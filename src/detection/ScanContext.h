// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/Finding.h"

#include <QList>
#include <QStringList>

// What one pass knew besides its findings, in plain words for a person. Each
// list is stable from pass to pass while nothing changes, so that a change can
// be told by comparing two passes.
struct ScanContext
{
    // One fact each about the machine the pass ran on: a virtual machine or
    // container, remote-control programs running, the monitors attached, the
    // graphical session.
    QStringList environment;
    // One text each for what the pass could not see, and why: its limits and
    // the sources that are absent or failed.
    QStringList coverage;
    bool operator==(const ScanContext &) const = default;
};

// A pass's findings with its context.
struct ScanResult
{
    QList<Finding> findings;
    ScanContext context;
};
