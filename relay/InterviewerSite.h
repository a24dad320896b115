// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RateLimiter.h"
#include "RelayCall.h"

#include <QObject>
#include <QThreadPool>

#include <optional>

class RelayStore;

// The interviewers' pages: sign-in, their sessions (and new ones), each
// session's timeline. A signed-in browser holds a random token in an
// HttpOnly, Secure, SameSite=Strict cookie; forms are refused when their
// Origin is another site. Passwords are checked off the relay's thread, one
// at a time and at most five a minute from one address, so guessing costs
// the guesser and never stalls the API.
class InterviewerSite : public QObject
{
    Q_OBJECT

public:
    explicit InterviewerSite(RelayStore &store, QObject *parent = nullptr);

    // Whether the request was for the site (and is answered).
    bool handle(const RelayCall &call);

private:
    void signIn(const RelayCall &call);
    void finishSignIn(const RelayCall &call, const QString &email, bool matches);
    void createSession(const RelayCall &call, const QString &email);
    void timeline(const RelayCall &call, const QString &email, qint64 sessionId, bool json);
    std::optional<QString> signedIn(const RelayCall &call);

    RelayStore &m_store;
    RateLimiter m_signIns;
    QThreadPool m_passwordChecks;
};
