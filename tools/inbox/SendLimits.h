// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include <deque>
#include <optional>

// The provider's limits for an account: requests per second and e-mails per
// day. A request over a limit is answered 429 with the wait it needs.
class SendLimits
{
public:
    SendLimits(std::optional<int> perSecond, std::optional<int> perDay)
        : m_perSecond(perSecond), m_perDay(perDay)
    {}

    struct Exceeded
    {
        const char *name; // the provider's error name
        QString message;
        qint64 waitSeconds; // until a request would be allowed again
        int limit;
    };

    // Counts one request now; says which limit it exceeds, if any.
    std::optional<Exceeded> admitRequest(const QDateTime &now);
    // Whether one more accepted e-mail fits the daily quota now.
    std::optional<Exceeded> admitEmail(const QDateTime &now);
    // Counts one accepted e-mail.
    void countEmail(const QDateTime &now);

private:
    std::optional<int> m_perSecond;
    std::optional<int> m_perDay;
    std::deque<QDateTime> m_requests; // within the last second
    std::deque<QDateTime> m_emails;   // within the last day
};
