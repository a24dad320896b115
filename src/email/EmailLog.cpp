// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "EmailLog.h"

Q_LOGGING_CATEGORY(nimbrelEmail, "nimbrel.email")
