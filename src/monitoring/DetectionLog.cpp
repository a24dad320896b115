// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DetectionLog.h"

#include "ShortDateTime.h"

void DetectionLog::append(Detection detection)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_entries.append(std::move(detection));
    endInsertRows();
    emit countChanged();
}

int DetectionLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant DetectionLog::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Detection &entry = m_entries.at(index.row());
    switch (role) {
    case NameRole:
        return entry.name;
    case DetectedAtRole:
        return QStringLiteral("Detected at ") + shortDateTime(entry.time);
    default:
        return {};
    }
}

QHash<int, QByteArray> DetectionLog::roleNames() const
{
    return {{NameRole, "name"}, {DetectedAtRole, "detectedAt"}};
}
