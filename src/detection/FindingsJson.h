// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/ScanContext.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One scan as a JSON document (the schema is src/cli/nimbrel-scan.schema.json):
//   {"version": 1, "time": ISO 8601 UTC, "host": name,
//    "findings": [{"line", "kind", "source", "pids": [...],
//                  "evidence": [{"source", "name", "pid"?, "traits"?}]}],
//    "context": {"environment": [...], "coverage": [...]}}
// Keys and labels are stable; findings and context lines keep the scan's order.
QByteArray findingsJson(const ScanResult &scan, const QDateTime &time, const QString &host);
