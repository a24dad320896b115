// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusVariant>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// Whether the desktop asks for high contrast: the XDG settings portal's
// "contrast" of org.freedesktop.appearance (1: higher contrast), read at start
// and followed as the user changes it. Without a portal (no session bus, an
// older desktop) the answer is no preference.
class ContrastPreference : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool high READ high NOTIFY highChanged)

public:
    explicit ContrastPreference(QObject *parent = nullptr);

    bool high() const { return m_high; }

signals:
    void highChanged();

private slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void setHigh(bool high);

    bool m_high = false;
};
