// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// The e-mail service's messages: QT_LOGGING_RULES="nimbrel.email.debug=true" and the like.
Q_DECLARE_LOGGING_CATEGORY(nimbrelEmail)
