// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Detection.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQmlIntegration/qqmlintegration.h>

// The detection log as a list model, oldest first. It is only ever appended
// to, so views can build their rows lazily.
class DetectionLog : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A session's detection log is made with it")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    // The line as found, and "Detected at " with the time it was logged.
    enum Role { NameRole = Qt::UserRole + 1, DetectedAtRole };

    using QAbstractListModel::QAbstractListModel;

    void append(Detection detection);

    int count() const { return static_cast<int>(m_entries.size()); }
    const QList<Detection> &entries() const { return m_entries; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<Detection> m_entries;
};
