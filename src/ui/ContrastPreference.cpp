// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContrastPreference.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {

constexpr char portalService[] = "org.freedesktop.portal.Desktop";
constexpr char portalPath[] = "/org/freedesktop/portal/desktop";
constexpr char settingsInterface[] = "org.freedesktop.portal.Settings";
constexpr char appearance[] = "org.freedesktop.appearance";
constexpr char contrast[] = "contrast";

// Read answers a variant inside a variant; SettingChanged, one variant.
bool asksForHighContrast(QVariant value)
{
    while (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt() == 1;
}

} // namespace

ContrastPreference::ContrastPreference(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(QString::fromLatin1(portalService), QString::fromLatin1(portalPath),
                QString::fromLatin1(settingsInterface), QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(
        QString::fromLatin1(portalService), QString::fromLatin1(portalPath),
        QString::fromLatin1(settingsInterface), QStringLiteral("Read"));
    read << QString::fromLatin1(appearance) << QString::fromLatin1(contrast);
    // Asked without waiting: the first frame does not wait for the portal.
    auto *answer = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *call) {
                const QDBusPendingReply<QDBusVariant> reply = *call;
                if (!reply.isError())
                    setHigh(asksForHighContrast(QVariant::fromValue(reply.value())));
                call->deleteLater();
            });
}

void ContrastPreference::settingChanged(const QString &group, const QString &key,
                                        const QDBusVariant &value)
{
    if (group == QLatin1String(appearance) && key == QLatin1String(contrast))
        setHigh(asksForHighContrast(value.variant()));
}

void ContrastPreference::setHigh(bool high)
{
    if (m_high == high)
        return;
    m_high = high;
    emit highChanged();
}
