// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AddressText.h"

#include <QTextBoundaryFinder>
#include <QTextLayout>

namespace {

constexpr QChar kWordJoiner(0x2060);       // no break on either side
constexpr QChar kBreakOpportunity(0x200B); // zero-width space: a break may follow
constexpr QChar kIsolateStart(0x2068);     // first strong isolate: the address's own
constexpr QChar kIsolateEnd(0x2069);       // direction cannot reorder the message
constexpr QChar kEllipsis(0x2026);
constexpr QChar kNoBreakSpace(0x00A0); // Qt breaks at any other blank, joiners or not

// The address's grapheme clusters, so joiners and cuts never split a letter
// from its marks or an emoji from its modifiers.
QStringList graphemes(const QString &text)
{
    QStringList clusters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        clusters << text.mid(start, finder.position() - start);
        start = finder.position();
    }
    return clusters;
}

// The clusters joined so that a line may break only before "@" and ".".
QString joined(const QStringList &clusters)
{
    QString text;
    for (qsizetype i = 0; i < clusters.size(); ++i) {
        const QString &cluster = clusters.at(i);
        if (i > 0)
            text += cluster == u"@" || cluster == u"." ? kBreakOpportunity : kWordJoiner;
        text += cluster.size() == 1 && cluster.front().isSpace() ? QString(kNoBreakSpace) : cluster;
    }
    return kIsolateStart + text + kIsolateEnd;
}

// Whether `text` wraps at `width` with no line wider than that and the part
// from `from` to `to` on at most `lines` lines.
bool fits(const QString &text, qsizetype from, qsizetype to, const QFont &font, qreal width,
          int lines)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    int firstLine = -1, lastLine = -1;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (line.naturalTextWidth() > width)
            return false;
        const qsizetype start = line.textStart(), end = start + line.textLength();
        if (firstLine < 0 && from < end)
            firstLine = line.lineNumber();
        if (to > start)
            lastLine = line.lineNumber();
    }
    layout.endLayout();
    return lastLine - firstLine + 1 <= lines;
}

} // namespace

QString AddressText::fit(const QString &message, const QString &address, const QFont &font,
                         qreal width, int addressLines)
{
    const qsizetype at = address.isEmpty() ? -1 : message.indexOf(address);
    if (at < 0 || width <= 0)
        return message;
    const QString before = message.left(at), after = message.mid(at + address.size());
    const auto shown = [&](const QString &addressText) { return before + addressText + after; };
    const auto fitsWith = [&](const QString &addressText) {
        return fits(shown(addressText), before.size(), before.size() + addressText.size(), font,
                    width, addressLines);
    };

    const QStringList clusters = graphemes(address);
    if (const QString whole = joined(clusters); fitsWith(whole))
        return shown(whole);
    // The most clusters kept, half from each end, that still fit.
    const auto cut = [&](qsizetype kept) {
        const qsizetype head = (kept + 1) / 2, tail = kept / 2;
        return joined(clusters.first(head) + QStringList{kEllipsis} + clusters.last(tail));
    };
    qsizetype low = 0, high = clusters.size() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (fitsWith(cut(middle)))
            low = middle;
        else
            high = middle - 1;
    }
    return shown(cut(low));
}
