// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

class ProviderClient;
class RelayStore;
struct RelayNotice;

// Notices monitoring sessions that stopped sending heartbeats without a stop
// notice, and tells their interviewers: once when a session falls silent,
// once when it is heard again. The database decides which relay marks a
// session, so several relays on one database send one e-mail.
class LivenessWatch : public QObject
{
    Q_OBJECT

public:
    LivenessWatch(RelayStore &store, ProviderClient &provider, std::chrono::seconds silenceAfter,
                  QObject *parent = nullptr);

    void start();
    void cameBack(qint64 sessionId, const QString &interviewer, qint64 now);

private:
    void check();
    void send(const QString &interviewer, const RelayNotice &notice, const QString &key,
              int triesLeft);

    RelayStore &m_store;
    ProviderClient &m_provider;
    std::chrono::seconds m_silenceAfter;
    QTimer m_timer;
};
