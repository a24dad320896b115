// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MonitoringLog.h"

Q_LOGGING_CATEGORY(nimbrelMonitoring, "nimbrel.monitoring")
