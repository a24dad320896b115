// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include <chrono>
#include <functional>

// The three clocks a session record reads at one moment. CLOCK_MONOTONIC
// stands still while the machine is suspended and CLOCK_BOOTTIME does not, so
// the two tell a suspended machine from a stopped or starved process.
struct ClockReading
{
    std::chrono::nanoseconds monotonic{};
    std::chrono::nanoseconds boottime{};
    QDateTime wall; // local time
};

using SessionClock = std::function<ClockReading()>;

// This machine's clocks now.
ClockReading readClocks();
