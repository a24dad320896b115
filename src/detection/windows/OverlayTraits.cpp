// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/TopLevelWindow.h"

namespace {

// What a floating assistant shows, and how much each says. Only a window
// hidden from screen sharing reaches the threshold alone: an always-on-top
// window (pinned by its user) or one hidden from the task bar is ordinary on
// its own; together they make a window that floats over everything unlisted,
// which is what an overlay is.
struct Trait
{
    const char *name;
    int weight;
    bool (*shows)(const WindowLayering &);
};

constexpr Trait traits[] = {
    // On the candidate's screen but not on the one the interviewer sees:
    // the one trait that tells an overlay on its own.
    {"hidden from screen sharing", 5, [](const WindowLayering &w) { return w.hiddenFromCapture; }},
    // Asked for, or placed there by the client itself.
    {"always on top", 3, [](const WindowLayering &w) { return w.above || w.overrideRedirect; }},
    // Kept there without asking, e.g. by raising itself again and again;
    // less sure, as a desktop that focuses without raising leaves windows there too.
    {"above the active window", 2,
     [](const WindowLayering &w) {
         return w.aboveActiveWindow && !w.above && !w.overrideRedirect;
     }},
    {"hidden from the task bar", 2,
     [](const WindowLayering &w) { return w.skipTaskbar || w.overrideRedirect || w.unlisted; }},
    // Seen, yet never in the way of the hand: few ordinary windows do that.
    {"click-through", 3, [](const WindowLayering &w) { return w.emptyInputShape; }},
    // Common in ordinary windows too (client-side decorations draw their
    // own frame on a 32-bit visual), so each adds only a little.
    {"transparent", 1, [](const WindowLayering &w) { return w.argbVisual || w.translucent; }},
    {"undecorated", 1, [](const WindowLayering &w) { return w.undecorated; }},
    {"shaped", 1, [](const WindowLayering &w) { return w.shaped; }},
};

constexpr int threshold = 5;

// Below this a window cannot show a line of text anyone could read: tray
// icons, 1x1 helpers, tooltips. By area, so a 700x50 strip counts.
constexpr int minOverlayArea = 10'000;
constexpr int minOverlaySide = 10;

} // namespace

QStringList overlayTraits(const WindowLayering &layering)
{
    if (!layering.viewable || layering.desktopType || layering.width < minOverlaySide ||
        layering.height < minOverlaySide ||
        qint64(layering.width) * layering.height < minOverlayArea)
        return {};
    QStringList shown;
    int score = 0;
    for (const Trait &trait : traits) {
        if (trait.shows(layering)) {
            shown << QString::fromLatin1(trait.name);
            score += trait.weight;
        }
    }
    return score >= threshold ? shown : QStringList();
}
