// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionClock.h"

#include <time.h>

namespace {

std::chrono::nanoseconds read(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

ClockReading readClocks()
{
    return {read(CLOCK_MONOTONIC), read(CLOCK_BOOTTIME), QDateTime::currentDateTime()};
}
