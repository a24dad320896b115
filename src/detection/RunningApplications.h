// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One top-level window of an application, as far as the scan looks at it.
struct ApplicationWindow
{
    QString id;                  // the window system's id, e.g. "0x3a00007"
    QString title{};             // only ever reported when it matches
    QString className{};         // WM_CLASS, class part
    QString instanceName{};      // WM_CLASS, instance part
    QString entryName{};         // the Name of the desktop entry the window names, if any
    QStringList overlayTraits{}; // empty unless the window floats above everything
    QString iconName{};          // _NET_WM_ICON_NAME, else WM_ICON_NAME: read like a title
    QString role{};              // WM_WINDOW_ROLE: the program's own name for the window

    bool operator==(const ApplicationWindow &) const = default;
};

// One application of the user's desktop, as a person would count it in a
// dock or task bar. Either name field may be unknown.
struct RunningApplication
{
    std::optional<QString> displayName;
    std::optional<QString> bundleIdentifier; // desktop-entry ID style, e.g. org.gnome.Nautilus
    QList<qint64> pids{};                    // its processes, when known
    QList<ApplicationWindow> windows{};
    QString executable{}; // its first process's executable name, when known
    // The display name is a window's title, for a window nothing else names:
    // it only mentions what it shows.
    bool namedByTitle = false;

    bool operator==(const RunningApplication &) const = default;
};

// Where the scan pass gets the desktop's running applications from.
class RunningApplicationsSource
{
public:
    virtual ~RunningApplicationsSource() = default;

    // The applications at this moment, in an order that is stable for one pass.
    virtual QList<RunningApplication> runningApplications() const = 0;

    // What the last runningApplications() could not see, and why, one text
    // each (e.g. "windows: the X server did not answer within 250 ms"): a
    // pass reports each as a finding of its own rather than as a clean desktop.
    virtual QStringList applicationLimits() const { return {}; }
};
