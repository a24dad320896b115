// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// One entry of the detection log: a detection line and when it was logged.
struct Detection
{
    QString name;
    QDateTime time;
};
