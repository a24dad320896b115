// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionReportFile.h"

#include "SessionReport.h"

#include <QDebug>
#include <QJsonDocument>
#include <QSaveFile>

bool writeSessionReport(const QString &path, const SessionRecord &record)
{
    // A script reading the file never sees half a report.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
        file.write(QJsonDocument(SessionReport::json(record)).toJson()) >= 0 && file.commit())
        return true;
    qWarning().noquote() << "Cannot write the session report to" << path + ':'
                         << file.errorString();
    return false;
}
