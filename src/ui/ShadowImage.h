// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>

// The soft shadow of a rounded rectangle as a nine-patch image: a rectangle
// with `cornerRadius` corners, blurred by a Gaussian of `blurRadius` pixels
// (deviation (blurRadius + 1) / 3.3333, the kernel cut off at blurRadius) and
// tinted with `color`, premultiplied. The rectangle lies `blurRadius` inside
// the image's edges; the borders (shadowImageBorder) never change along an
// edge, and the one pixel between them is the rectangle's inside, so the
// image stretches to a shadow of any size of at least twice the border.
QImage shadowImage(int cornerRadius, int blurRadius, const QColor &color);

// Width of each border of shadowImage: blur, corner, blur.
constexpr int shadowImageBorder(int cornerRadius, int blurRadius)
{
    return cornerRadius + 2 * blurRadius;
}
