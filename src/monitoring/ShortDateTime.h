// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// A date and time in the user's locale with the short date and time styles,
// as the notices and the dashboard show them.
QString shortDateTime(const QDateTime &moment);
