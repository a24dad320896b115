#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>

// Finds filled controls (buttons, text fields) on a screenshot by their fill
// colour, so the test clicks them wherever the layout puts them.
//
// A block starts at the first row, from the top, holding a run of the colour
// at least minWidth pixels long, and ends where its left and right edges stop
// having that colour. Blocks lower than minHeight, such as the coloured outline
// of a focused field, are skipped. Blocks are returned top to bottom.
QList<QRect> colourBlocks(const QImage &image, const QColor &colour, int minWidth,
                          int minHeight = 12);

// A point well inside a block: its horizontal middle, a little below its top edge,
// clear of a centred label.
QPoint pressPoint(const QRect &block);
