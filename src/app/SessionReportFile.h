// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SessionRecord.h"

#include <QString>

// Replaces the file at `path` with the record's report as JSON, whole or not
// at all, readable by its owner only; says on standard error when it cannot.
bool writeSessionReport(const QString &path, const SessionRecord &record);
