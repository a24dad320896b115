// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessibleItems.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQuick/private/qaccessiblequickitem_p.h>
#include <QtQuick/private/qaccessiblequickview_p.h>
#include <QtQuick/private/qquickitem_p.h>

namespace {

// Text that is no control: read, never focused.
bool isStaticText(QAccessible::Role role)
{
    return role == QAccessible::StaticText || role == QAccessible::Heading ||
           role == QAccessible::Notification;
}

// Hidden items stay out of the tree, where a screen reader would list them:
// the controls a screen shows only later, a notification not yet announced, a
// scroll bar with nothing to scroll.
template <typename Base> class ShownChildren : public Base
{
public:
    using Base::Base;

    QAccessibleInterface *child(int index) const override { return shown().value(index); }
    int childCount() const override { return int(shown().size()); }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(shown().indexOf(const_cast<QAccessibleInterface *>(child)));
    }

private:
    QList<QAccessibleInterface *> shown() const
    {
        QList<QAccessibleInterface *> children;
        for (int i = 0; i < Base::childCount(); ++i) {
            QAccessibleInterface *child = Base::child(i);
            const auto *item = child ? qobject_cast<QQuickItem *>(child->object()) : nullptr;
            if (child && (!item || item->isVisible()))
                children.append(child);
        }
        return children;
    }
};

class AccessibleQuickWindow : public ShownChildren<QAccessibleQuickWindow>
{
public:
    using ShownChildren::ShownChildren;
};

class AccessibleQuickItem : public ShownChildren<QAccessibleQuickItem>
{
public:
    explicit AccessibleQuickItem(QQuickItem *item) : ShownChildren(item)
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
    if (auto *window = qobject_cast<QQuickWindow *>(object))
        return new AccessibleQuickWindow(window);
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
