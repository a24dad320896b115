// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// The monitoring session's messages: a notice that failed goes here, since the
// dashboard does not show it.
Q_DECLARE_LOGGING_CATEGORY(nimbrelMonitoring)
