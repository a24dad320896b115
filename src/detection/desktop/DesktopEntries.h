// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// What the running-applications source needs of one desktop entry.
struct DesktopEntry
{
    QString id;   // file name without ".desktop", subfolders joined by '-'
    QString name; // localised Name
    QString startupWmClass;
};

// Desktop entries of the XDG application folders, looked up by ID and by the
// window class they declare. Lookups are remembered, so make one per scan pass.
class DesktopEntries
{
public:
    // `dataDirs` in order of precedence, each holding an "applications" folder;
    // `posixLocale` such as "de_DE.UTF-8" picks the translation of Name.
    DesktopEntries(QStringList dataDirs, const QString &posixLocale);

    // The entry with this ID, if one is installed and not hidden. IDs that
    // could leave the application folders (containing '/' or "..") find nothing.
    std::optional<DesktopEntry> find(const QString &id) const;

    // The entry a window of this WM_CLASS belongs to: the ID equal to the class
    // or instance name (as is or in lower case), else the entry declaring the
    // class as StartupWMClass.
    std::optional<DesktopEntry> findForWindowClass(const QString &className,
                                                   const QString &instanceName) const;

    // The entry a launcher hinted by its path: read from there when the path
    // lies outside the application folders (an app's own entry), else found by
    // its ID. The same bounds apply as in the folders.
    std::optional<DesktopEntry> findHinted(const QString &path) const;

    // The entry declaring `wmClass` as its StartupWMClass.
    std::optional<DesktopEntry> findForStartupWmClass(const QString &wmClass) const;

    // The ID a launcher names by file path, e.g.
    // "/usr/share/applications/kde4/kate.desktop" -> "kde4-kate".
    static QString idFromPath(const QString &path);

    // The defaults of this session: $XDG_DATA_HOME, $XDG_DATA_DIRS and the
    // messages locale of the environment.
    static QStringList defaultDataDirs();
    static QString defaultLocale();

private:
    std::optional<DesktopEntry> load(const QString &path, const QString &id) const;
    // Whether `relative` ("x.desktop" or "sub/x.desktop") is listed in the
    // application folder `dir`. Each folder is listed once, so that looking up
    // IDs installed nowhere costs no system call per candidate path.
    bool isListed(const QString &dir, const QString &relative) const;
    const QSet<QString> &listing(const QString &folder) const;
    const QHash<QString, QString> &startupWmClassIndex() const;

    QStringList m_applicationDirs;
    QStringList m_localeKeys;
    mutable QHash<QString, std::optional<DesktopEntry>> m_byId;
    mutable QHash<QString, std::optional<DesktopEntry>> m_byHintedPath;
    mutable std::optional<QHash<QString, QString>> m_idByWmClass;
    mutable QHash<QString, QSet<QString>> m_listings;
};
