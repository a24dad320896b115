// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShortDateTime.h"

#include <QLocale>

QString shortDateTime(const QDateTime &moment)
{
    return QLocale::system().toString(moment, QLocale::ShortFormat);
}
