// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "email/EmailSender.h"

#include <QString>
#include <QStringList>

// The e-mails that keep the verified interviewer informed while monitoring
// runs: their subjects and their bodies, HTML and plain text.
namespace MonitoringNotices {

QString statusSubject(bool started);

// The status notice for a start or a stop at the given, already formatted moment.
EmailBody statusBody(bool started, const QString &moment);

QString scanResultsSubject();

// The scan-results notice listing the lines in their order, then when and on
// which machine the scan ran, so an interviewer following two interviews
// tells them apart. Each line is HTML-escaped first: detection lines carry
// names chosen by whoever controls the scanned machine and must not add
// markup to the interviewer's e-mail.
EmailBody scanResultsBody(const QStringList &lines, const QString &moment, const QString &host);

// The notices that carry the report so far: the status sent every few minutes
// while monitoring runs, and the one a change of the machine's environment
// sends. Their bodies end where the report is to follow.
enum class ReportNotice { Status, EnvironmentChanged };
QString reportNoticeSubject(ReportNotice notice);
EmailBody reportNoticeBody(ReportNotice notice, const QString &moment);

// Text with the five characters that have meaning in HTML escaped.
QString escapeHtml(const QString &text);

} // namespace MonitoringNotices
