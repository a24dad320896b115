// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// The soft drop shadow of a rounded rectangle of the item's size, drawn as a
// stretched nine-patch image that is blurred once per look. It renders alike
// with every scene graph backend, software included, and costs no more to
// redraw than a plain image.
//
//     BoxShadow {
//         anchors.fill: panel          // the shape that casts the shadow
//         cornerRadius: 20
//         blurRadius: 20
//         color: Qt.rgba(0, 0, 0, 0.1)
//         verticalOffset: 10
//     }
class BoxShadow : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(int cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY cornerRadiusChanged)
    Q_PROPERTY(int blurRadius READ blurRadius WRITE setBlurRadius NOTIFY blurRadiusChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(qreal horizontalOffset READ horizontalOffset WRITE setHorizontalOffset NOTIFY
                   horizontalOffsetChanged)
    Q_PROPERTY(qreal verticalOffset READ verticalOffset WRITE setVerticalOffset NOTIFY
                   verticalOffsetChanged)

public:
    explicit BoxShadow(QQuickItem *parent = nullptr);

    int cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(int radius);
    int blurRadius() const { return m_blurRadius; }
    void setBlurRadius(int radius);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal horizontalOffset() const { return m_horizontalOffset; }
    void setHorizontalOffset(qreal offset);
    qreal verticalOffset() const { return m_verticalOffset; }
    void setVerticalOffset(qreal offset);

signals:
    void cornerRadiusChanged();
    void blurRadiusChanged();
    void colorChanged();
    void horizontalOffsetChanged();
    void verticalOffsetChanged();

protected:
    void updatePolish() override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void lookChanged();

    int m_cornerRadius = 0;
    int m_blurRadius = 0;
    QColor m_color = Qt::black;
    qreal m_horizontalOffset = 0;
    qreal m_verticalOffset = 0;

    QImage m_image; // made on the GUI thread, read while the scene graph syncs
    bool m_lookChanged = true;
    bool m_imageChanged = true;
};
