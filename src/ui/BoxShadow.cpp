// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BoxShadow.h"

#include "ShadowImage.h"

#include <QHash>
#include <QQuickWindow>
#include <QSGNinePatchNode>
#include <QSGTexture>

namespace {

// Each look is blurred once per process; windows and buttons share them.
QImage cachedShadowImage(int cornerRadius, int blurRadius, const QColor &color)
{
    static QHash<QString, QImage> cache;
    const QString key =
        QStringLiteral("%1/%2/%3").arg(cornerRadius).arg(blurRadius).arg(color.rgba(), 0, 16);
    auto found = cache.constFind(key);
    if (found == cache.constEnd())
        found = cache.insert(key, shadowImage(cornerRadius, blurRadius, color));
    return *found;
}

} // namespace

BoxShadow::BoxShadow(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

void BoxShadow::setCornerRadius(int radius)
{
    if (radius == m_cornerRadius)
        return;
    m_cornerRadius = radius;
    lookChanged();
    emit cornerRadiusChanged();
}

void BoxShadow::setBlurRadius(int radius)
{
    if (radius == m_blurRadius)
        return;
    m_blurRadius = radius;
    lookChanged();
    emit blurRadiusChanged();
}

void BoxShadow::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    lookChanged();
    emit colorChanged();
}

void BoxShadow::setHorizontalOffset(qreal offset)
{
    if (offset == m_horizontalOffset)
        return;
    m_horizontalOffset = offset;
    update();
    emit horizontalOffsetChanged();
}

void BoxShadow::setVerticalOffset(qreal offset)
{
    if (offset == m_verticalOffset)
        return;
    m_verticalOffset = offset;
    update();
    emit verticalOffsetChanged();
}

void BoxShadow::lookChanged()
{
    // Blurred once before the next frame, after every property has its value.
    m_lookChanged = true;
    polish();
}

void BoxShadow::updatePolish()
{
    if (!m_lookChanged)
        return;
    m_lookChanged = false;
    m_image = cachedShadowImage(qMax(0, m_cornerRadius), qMax(0, m_blurRadius), m_color);
    m_imageChanged = true;
    update();
}

void BoxShadow::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

QSGNode *BoxShadow::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGNinePatchNode *>(oldNode);
    const int border = shadowImageBorder(qMax(0, m_cornerRadius), qMax(0, m_blurRadius));
    const qreal spread = qMax(0, m_blurRadius);
    const QRectF bounds(m_horizontalOffset - spread, m_verticalOffset - spread,
                        width() + 2 * spread, height() + 2 * spread);
    // Too small to stretch: the borders would overlap.
    if (m_image.isNull() || bounds.width() < 2 * border || bounds.height() < 2 * border) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = window()->createNinePatchNode();
        m_imageChanged = true;
    }
    if (m_imageChanged) {
        // The node takes the texture and deletes it with itself or the next one.
        QSGTexture *texture = window()->createTextureFromImage(m_image);
        texture->setFiltering(QSGTexture::Linear);
        node->setTexture(texture);
        m_imageChanged = false;
    }
    node->setBounds(bounds);
    node->setPadding(border, border, border, border);
    node->setDevicePixelRatio(1);
    node->update();
    return node;
}
