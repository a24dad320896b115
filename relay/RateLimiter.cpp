// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RateLimiter.h"

#include <algorithm>
#include <cmath>

namespace {

double refilled(double tokens, double perSecond, RateLimiter::Clock::duration elapsed, int burst)
{
    return std::min<double>(burst,
                            tokens + perSecond * std::chrono::duration<double>(elapsed).count());
}

} // namespace

std::optional<std::chrono::seconds> RateLimiter::take(const QString &key, Clock::time_point now)
{
    if (now - m_lastSweep > std::chrono::minutes(1))
        forgetFullBuckets(now);
    const double perSecond = m_perMinute / 60.0;
    auto it = m_buckets.find(key);
    if (it == m_buckets.end())
        it = m_buckets.insert(key, Bucket{double(m_burst), now});
    Bucket &bucket = *it;
    bucket.tokens = refilled(bucket.tokens, perSecond, now - bucket.updated, m_burst);
    bucket.updated = now;
    if (bucket.tokens >= 1.0) {
        bucket.tokens -= 1.0;
        return std::nullopt;
    }
    return std::chrono::seconds(long(std::ceil((1.0 - bucket.tokens) / perSecond)));
}

void RateLimiter::forgetFullBuckets(Clock::time_point now)
{
    m_lastSweep = now;
    const double perSecond = m_perMinute / 60.0;
    m_buckets.removeIf([&](const auto &entry) {
        return refilled(entry.value().tokens, perSecond, now - entry.value().updated, m_burst) >=
               m_burst;
    });
}
