#pragma once

#include "Detection.h"

#include <QAbstractListModel>
#include <QList>

// The detection log as a list model, oldest first. It is only ever appended
// to, so views can build their rows lazily.
class DetectionLog : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, NameRole, TimeRole, DetectedAtRole };

    using QAbstractListModel::QAbstractListModel;

    void append(Detection detection);

    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const QList<Detection> &entries() const { return m_entries; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<Detection> m_entries;
};
