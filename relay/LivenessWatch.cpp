// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "LivenessWatch.h"

#include "ProviderClient.h"
#include "RelayNotices.h"
#include "RelayStore.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QPointer>

Q_LOGGING_CATEGORY(lcLiveness, "nimbrel.relay.liveness")

namespace {

constexpr int tries = 6;
constexpr auto retryDelay = std::chrono::seconds(10);

} // namespace

LivenessWatch::LivenessWatch(RelayStore &store, ProviderClient &provider,
                             std::chrono::seconds silenceAfter, QObject *parent)
    : QObject(parent), m_store(store), m_provider(provider), m_silenceAfter(silenceAfter)
{
    // A silence is noticed within a tenth of its length, and within a second.
    m_timer.setInterval(
        std::min<std::chrono::milliseconds>(std::chrono::seconds(1), m_silenceAfter / 10));
    connect(&m_timer, &QTimer::timeout, this, &LivenessWatch::check);
}

void LivenessWatch::start()
{
    m_timer.start();
}

void LivenessWatch::check()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 silentSince =
        now - std::chrono::duration_cast<std::chrono::milliseconds>(m_silenceAfter).count();
    for (const SilentSession &session : m_store.markSilent(silentSince, now)) {
        qCInfo(lcLiveness) << "session" << session.sessionId << "went silent";
        send(session.interviewer,
             RelayNotices::stoppedReporting(QDateTime::fromMSecsSinceEpoch(session.lastHeartbeat),
                                            int(m_silenceAfter.count())),
             QStringLiteral("relay-silent-%1").arg(session.eventId), tries);
    }
}

void LivenessWatch::cameBack(qint64 sessionId, const QString &interviewer, qint64 now)
{
    qCInfo(lcLiveness) << "session" << sessionId << "is reporting again";
    send(interviewer, RelayNotices::reportingAgain(QDateTime::fromMSecsSinceEpoch(now)),
         QStringLiteral("relay-back-%1-%2").arg(sessionId).arg(now), tries);
}

void LivenessWatch::send(const QString &interviewer, const RelayNotice &notice, const QString &key,
                         int triesLeft)
{
    m_provider.send({interviewer, notice.subject, notice.html, notice.text, key},
                    [this, guard = QPointer(this), interviewer, notice, key,
                     triesLeft](const ForwardedAnswer &answer) {
                        if (!guard || (answer.status >= 200 && answer.status <= 299))
                            return;
                        qCWarning(lcLiveness)
                            << notice.subject << "was not sent:" << answer.status << answer.body;
                        // The Idempotency-Key makes a second try safe.
                        if (triesLeft > 1)
                            QTimer::singleShot(retryDelay, this, [=, this] {
                                send(interviewer, notice, key, triesLeft - 1);
                            });
                    });
}
