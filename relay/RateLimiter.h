// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <optional>

// Token buckets, one per key (a session, an address): up to `burst` at once,
// refilled at `perMinute`. Buckets that are full again are forgotten, so the
// map holds only keys active in the last minute or so.
class RateLimiter
{
public:
    using Clock = std::chrono::steady_clock;

    RateLimiter(int perMinute, int burst) : m_perMinute(perMinute), m_burst(burst) {}

    // Takes one token, or says how long until one is there.
    std::optional<std::chrono::seconds> take(const QString &key, Clock::time_point now);

private:
    struct Bucket
    {
        double tokens;
        Clock::time_point updated;
    };

    void forgetFullBuckets(Clock::time_point now);

    int m_perMinute;
    int m_burst;
    QHash<QString, Bucket> m_buckets;
    Clock::time_point m_lastSweep{};
};
