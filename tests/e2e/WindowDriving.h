#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

// What the real-window tests share: running the desktop's helper programs, and
// finding Nimbrel's controls in a screenshot by their fill colour.

// Fill colours of the text fields and of the monitor button (the palette's
// accentGreen to start, accentRed to stop).
inline const QColor kFieldFill(242, 242, 250);
inline const QColor kStartGreen(77, 204, 102);
inline const QColor kStopRed(230, 77, 77);
// Wider than any icon or gradient band of one colour, narrower than any such control.
inline constexpr int kFieldWidth = 400;
inline constexpr int kButtonWidth = 100;

// Runs a helper program to its end: its standard output, or nothing on failure.
std::optional<QByteArray> run(const QString &program, const QStringList &arguments);

// Points on the faces of the controls filled with this colour, top to bottom: a
// run of minWidth such pixels, all of one shade (a gradient is not), that also
// has the colour 8 rows lower, which a focus outline has not. A point lies
// inside its run, clear of a centred label.
QList<QPoint> controls(const QImage &screen, const QColor &colour, int minWidth);
