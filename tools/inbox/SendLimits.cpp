// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SendLimits.h"

namespace {

constexpr qint64 daySeconds = 24 * 3600;

void dropBefore(std::deque<QDateTime> &times, const QDateTime &cutoff)
{
    while (!times.empty() && times.front() <= cutoff)
        times.pop_front();
}

} // namespace

std::optional<SendLimits::Exceeded> SendLimits::admitRequest(const QDateTime &now)
{
    if (!m_perSecond)
        return std::nullopt;
    dropBefore(m_requests, now.addMSecs(-1000));
    if (qsizetype(m_requests.size()) >= *m_perSecond)
        return Exceeded{"rate_limit_exceeded",
                        QStringLiteral("Too many requests. You can only make %1 requests per "
                                       "second.")
                            .arg(*m_perSecond),
                        1, *m_perSecond};
    m_requests.push_back(now);
    return std::nullopt;
}

std::optional<SendLimits::Exceeded> SendLimits::admitEmail(const QDateTime &now)
{
    if (!m_perDay)
        return std::nullopt;
    dropBefore(m_emails, now.addSecs(-daySeconds));
    if (qsizetype(m_emails.size()) < *m_perDay)
        return std::nullopt;
    // Room again when the oldest e-mail of the window leaves it.
    const qint64 wait = std::max<qint64>(1, now.secsTo(m_emails.front().addSecs(daySeconds)));
    return Exceeded{"daily_quota_exceeded",
                    QStringLiteral("You have reached your daily email sending quota."), wait,
                    *m_perDay};
}

void SendLimits::countEmail(const QDateTime &now)
{
    if (m_perDay)
        m_emails.push_back(now);
}
