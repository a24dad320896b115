// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// The relay's own e-mails to an interviewer, about a session gone silent or
// back: subject, HTML and text.
struct RelayNotice
{
    QString subject;
    QString html;
    QString text;
};

namespace RelayNotices {

RelayNotice stoppedReporting(const QDateTime &lastHeard, int silenceSeconds);
RelayNotice reportingAgain(const QDateTime &heardAgain);

} // namespace RelayNotices
