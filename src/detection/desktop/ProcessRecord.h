// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/desktop/LaunchIdentity.h"

#include <QString>

#include <optional>

// What the running-applications source reads of one process.
struct ProcessRecord
{
    qint64 pid = 0;
    qint64 parentPid = 0;
    quint64 startTime = 0;                  // clock ticks after boot: orders processes by start
    QString executable{};                   // exe's file name, else argv[0]'s, else comm
    std::optional<LaunchIdentity> launch{}; // the application it was launched as
};
