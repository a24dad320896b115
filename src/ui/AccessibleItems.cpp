// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessibleItems.h"

#include <QAccessible>
#include <QQuickItem>
#include <QtQuick/private/qaccessiblequickitem_p.h>
#include <QtQuick/private/qquickitem_p.h>

namespace {

// Text that is no control: read, never focused.
bool isStaticText(QAccessible::Role role)
{
    return role == QAccessible::StaticText || role == QAccessible::Heading ||
           role == QAccessible::Notification;
}

class AccessibleQuickItem : public QAccessibleQuickItem
{
public:
    explicit AccessibleQuickItem(QQuickItem *item) : QAccessibleQuickItem(item)
    {
        QObject::connect(item, &QQuickItem::enabledChanged, item, [item] {
            QAccessible::State changed;
            changed.disabled = true;
            QAccessibleStateChangeEvent event(item, changed);
            QAccessible::updateAccessibility(&event);
        });
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleQuickItem::state();
        if (!item()->isEnabled()) {
            state.disabled = true;
            state.focusable = false;
        }
        if (isStaticText(role()))
            state.focusable = false;
        return state;
    }

protected:
    // A Text item's text interface is empty; its name carries the text.
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface && isStaticText(role()))
            return nullptr;
        return QAccessibleQuickItem::interface_cast(type);
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleQuickItem::actionNames();
        names.removeDuplicates();
        if (!state().focusable)
            names.removeAll(QAccessibleActionInterface::setFocusAction());
        return names;
    }
};

// Tried before Qt Quick's own factory, for the same items it would serve.
QAccessibleInterface *accessibleItem(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !QQuickItemPrivate::get(item)->isAccessible)
        return nullptr;
    return new AccessibleQuickItem(item);
}

} // namespace

void installAccessibleItems()
{
    QAccessible::installFactory(accessibleItem);
}
