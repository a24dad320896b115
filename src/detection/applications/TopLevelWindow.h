#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What one top-level window of the desktop tells about its application.
struct TopLevelWindow
{
    std::optional<qint64> pid{}; // _NET_WM_PID
    QString instanceName{};      // WM_CLASS, first part
    QString className{};         // WM_CLASS, second part
    QString applicationId{};     // _GTK_APPLICATION_ID
    QString desktopFile{};       // _KDE_NET_WM_DESKTOP_FILE
    QString id{};                // the window's id, e.g. "0x3a00007"
    QString title{};             // _NET_WM_NAME, else WM_NAME
    QStringList overlayTraits{}; // see overlayTraits(): empty unless an overlay

    bool operator==(const TopLevelWindow &) const = default;
};

// How a window sits on the screen, as far as telling an overlay goes.
struct WindowLayering
{
    bool viewable = false;
    bool overrideRedirect = false; // placed by the client itself, above the window manager
    bool above = false;            // _NET_WM_STATE_ABOVE
    bool skipTaskbar = false;      // _NET_WM_STATE_SKIP_TASKBAR
    bool desktopType = false;      // dock, desktop, notification, tooltip, menu, combo, DnD, splash
    int width = 0;
    int height = 0;
    bool emptyInputShape = false; // clicks go through it
    bool argbVisual = false;      // 32-bit: it can be see-through
};

// What makes a window an overlay, as the line shows it: "always on top",
// "hidden from the task bar", then "click-through" and "transparent" as they
// apply. Empty unless the window is viewable, kept above the others, hidden
// from the task bar, at least 120x60 and click-through or transparent, and not
// of a desktop window type.
QStringList overlayTraits(const WindowLayering &layering);
