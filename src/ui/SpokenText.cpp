// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpokenText.h"

#include "detection/LinePrefixes.h"

#include <QStringView>

namespace {

// The kinds of detection line as the scan writes them, and in words.
constexpr struct
{
    QStringView shown, spoken;
} kinds[] = {
    {LinePrefix::alarm, u"Cluely detected — "},
    {LinePrefix::possible, u"Possible Cluely — "},
    {LinePrefix::overlay, u"Overlay window — "},
    {LinePrefix::limited, u"Scan limited — "},
};

// The marks of a status line's outcome.
constexpr QStringView outcomeMarks[] = {u"✓ ", u"✗ "};

} // namespace

QString SpokenText::of(const QString &shown)
{
    for (const auto &kind : kinds) {
        if (shown.startsWith(kind.shown))
            return kind.spoken.toString() + shown.sliced(kind.shown.size());
    }
    for (const QStringView mark : outcomeMarks) {
        if (shown.startsWith(mark))
            return shown.sliced(mark.size());
    }
    return shown;
}
