#pragma once

#include <QString>

#include <optional>

// What one top-level window of the desktop tells about its application.
struct TopLevelWindow
{
    std::optional<qint64> pid{}; // _NET_WM_PID
    QString instanceName{};      // WM_CLASS, first part
    QString className{};         // WM_CLASS, second part
    QString applicationId{};     // _GTK_APPLICATION_ID
    QString desktopFile{};       // _KDE_NET_WM_DESKTOP_FILE

    bool operator==(const TopLevelWindow &) const = default;
};
