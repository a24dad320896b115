// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShadowImage.h"

#include <QPainter>

#include <cmath>
#include <vector>

namespace {

std::vector<float> gaussianKernel(int radius)
{
    const double deviation = (radius + 1) / 3.3333;
    std::vector<float> weights(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += weights[i + radius] = float(std::exp(-(i * i) / (2 * deviation * deviation)));
    for (float &weight : weights)
        weight = float(weight / sum);
    return weights;
}

// One pass of the separable blur, from `in` to `out` along rows (step 1) or
// columns (step `size`); what lies beyond the edges is transparent.
void blurPass(const std::vector<float> &in, std::vector<float> &out, int size, bool alongRows,
              const std::vector<float> &kernel)
{
    const int radius = int(kernel.size() / 2);
    for (int line = 0; line < size; ++line) {
        for (int at = 0; at < size; ++at) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                const int from = at + k;
                if (from < 0 || from >= size)
                    continue;
                sum += kernel[k + radius] * in[alongRows ? line * size + from : from * size + line];
            }
            out[alongRows ? line * size + at : at * size + line] = sum;
        }
    }
}

} // namespace

QImage shadowImage(int cornerRadius, int blurRadius, const QColor &color)
{
    const int size = 2 * shadowImageBorder(cornerRadius, blurRadius) + 1;

    QImage shape(size, size, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter painter(&shape);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(
            QRectF(blurRadius, blurRadius, size - 2 * blurRadius, size - 2 * blurRadius),
            cornerRadius, cornerRadius);
    }

    std::vector<float> coverage(size_t(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            coverage[size_t(y) * size + x] = float(qAlpha(shape.pixel(x, y))) / 255.0f;

    const std::vector<float> kernel = gaussianKernel(blurRadius);
    std::vector<float> across(coverage.size());
    blurPass(coverage, across, size, true, kernel);
    blurPass(across, coverage, size, false, kernel);

    QImage shadow(size, size, QImage::Format_ARGB32_Premultiplied);
    const QColor rgb = color.toRgb();
    for (int y = 0; y < size; ++y) {
        auto *line = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < size; ++x) {
            const float alpha = coverage[size_t(y) * size + x] * float(rgb.alphaF());
            const auto channel = [alpha](float value) {
                return int(std::lround(value * alpha * 255));
            };
            line[x] = qRgba(channel(float(rgb.redF())), channel(float(rgb.greenF())),
                            channel(float(rgb.blueF())), int(std::lround(alpha * 255)));
        }
    }
    return shadow;
}
