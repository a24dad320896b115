// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SessionRecord.h"
#include "email/EmailSender.h"

#include <QJsonObject>

// A session record in words, for the notices, the dashboard and scripts.
namespace SessionReport {

// One line for the dashboard: "Monitoring for 12 min · 73 scans · 1 gap".
QString summary(const SessionRecord &record);

// A gap in a sentence: "18:55:02, 40 s: Nimbrel was paused or starved of CPU".
QString gapText(const SessionGap &gap);

// The report, to follow a notice's own content: times, scans, gaps, the lines
// found, the context at the start and its changes. Until the run stops it is
// the report so far.
EmailBody body(const SessionRecord &record);

// The context alone, as a run starts in it, and how often status e-mails
// will follow (none when zero).
EmailBody contextBody(const ScanContext &context, std::chrono::minutes statusEvery);

// The report as one JSON object.
QJsonObject json(const SessionRecord &record);

} // namespace SessionReport
