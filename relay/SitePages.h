// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RelayStore.h"

#include <QJsonArray>
#include <QString>

#include <vector>

// The interviewer's pages as HTML, every inserted text escaped. Plain
// documents in landmarks, headings, labelled forms and captioned tables, so
// they read in order with a keyboard and a screen reader; the timeline's
// rows come in through timeline.js and are announced in a polite live region.
namespace SitePages {

QString signIn(const QString &problem);
// newCode: the code of a session just created, shown once.
QString sessions(const QString &email, const std::vector<SessionSummary> &sessions,
                 const QString &newCode);
QString timeline(const SessionSummary &session, const std::vector<TimelineEvent> &events);
QJsonArray eventsJson(const std::vector<TimelineEvent> &events);

} // namespace SitePages
