#include "ColourBlocks.h"

#include <cstdlib>

namespace {

// Anti-aliasing and colour conversion move channels by a step or two.
bool matches(QRgb pixel, const QColor &colour)
{
    constexpr int tolerance = 3;
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

} // namespace

QList<QRect> colourBlocks(const QImage &source, const QColor &colour, int minWidth, int minHeight)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QList<QRect> blocks;
    int y = 0;
    while (y < image.height()) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int runStart = -1;
        QRect found;
        for (int x = 0; x <= image.width(); ++x) {
            const bool inRun = x < image.width() && matches(row[x], colour);
            if (inRun && runStart < 0)
                runStart = x;
            if (!inRun && runStart >= 0) {
                if (x - runStart >= minWidth) {
                    found = QRect(QPoint(runStart, y), QPoint(x - 1, y));
                    break;
                }
                runStart = -1;
            }
        }
        if (found.isNull()) {
            ++y;
            continue;
        }
        // Follow the block down along columns just inside its edges.
        const int left = found.left() + 2;
        const int right = found.right() - 2;
        int bottom = y;
        while (bottom + 1 < image.height()) {
            const auto *next = reinterpret_cast<const QRgb *>(image.constScanLine(bottom + 1));
            if (!matches(next[left], colour) && !matches(next[right], colour))
                break;
            ++bottom;
        }
        found.setBottom(bottom);
        if (found.height() >= minHeight)
            blocks.append(found);
        y = bottom + 1;
    }
    return blocks;
}

QPoint pressPoint(const QRect &block)
{
    return {block.center().x(), block.top() + qMin(8, block.height() / 2)};
}
