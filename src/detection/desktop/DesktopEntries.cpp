// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/DesktopEntries.h"

#include "detection/proc/BoundedRead.h"
#include "detection/desktop/KeyFile.h"
#include "detection/names/TextBounds.h"

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace {

const QString entryGroup = QStringLiteral("Desktop Entry");
const QString suffix = QStringLiteral(".desktop");

// Real entries are a few kilobytes, translations included.
constexpr qint64 maxEntryBytes = 512 * 1024;
// Bounds the StartupWMClass scan on machines with odd folder trees.
constexpr int maxIndexedEntries = 5000;
// Entries declaring a window class are small; a big one is not read for the index.
constexpr qint64 maxIndexedEntryBytes = 64 * 1024;

bool isSafeId(const QString &id)
{
    return !id.isEmpty() && id.size() <= maxIdentifierLength && !id.contains(u'/') &&
           !id.contains(u'\0') && !id.contains(QStringLiteral("..")) && !id.startsWith(u'.');
}

// "a-b-c" may live at a-b-c.desktop or, one folder down, at a/b-c.desktop or a-b/c.desktop.
QStringList relativePathsFor(const QString &id)
{
    QStringList paths{id + suffix};
    for (qsizetype dash = id.indexOf(u'-'); dash > 0 && dash + 1 < id.size();
         dash = id.indexOf(u'-', dash + 1)) {
        paths << id.first(dash) + u'/' + id.sliced(dash + 1) + suffix;
    }
    return paths;
}

// The names in a folder, none when it cannot be read.
QSet<QString> folderEntryNames(const QString &folder)
{
    QSet<QString> names;
    DIR *listing = ::opendir(QFile::encodeName(folder).constData());
    if (!listing)
        return names;
    while (const dirent *entry = ::readdir(listing))
        names.insert(QFile::decodeName(entry->d_name));
    ::closedir(listing);
    return names;
}

} // namespace

DesktopEntries::DesktopEntries(QStringList dataDirs, const QString &posixLocale)
    : m_localeKeys(localeLookupKeys(posixLocale))
{
    for (const QString &dir : dataDirs) {
        if (!dir.isEmpty())
            m_applicationDirs << dir + QStringLiteral("/applications/");
    }
}

std::optional<DesktopEntry> DesktopEntries::find(const QString &id) const
{
    if (!isSafeId(id))
        return std::nullopt;
    if (const auto known = m_byId.constFind(id); known != m_byId.constEnd())
        return *known;

    std::optional<DesktopEntry> found;
    bool decided = false;
    const QStringList relativePaths = relativePathsFor(id);
    for (const QString &dir : m_applicationDirs) {
        for (const QString &relative : relativePaths) {
            if (!isListed(dir, relative))
                continue;
            const QString path = dir + relative;
            if (!QFileInfo::exists(path))
                continue;
            // The first folder holding the ID decides, even when its entry is
            // hidden: that is how a user removes a system entry.
            found = load(path, id);
            decided = true;
            break;
        }
        if (decided)
            break;
    }
    m_byId.insert(id, found);
    return found;
}

bool DesktopEntries::isListed(const QString &dir, const QString &relative) const
{
    const qsizetype slash = relative.indexOf(u'/');
    if (slash < 0)
        return listing(dir).contains(relative);
    return listing(dir).contains(relative.first(slash)) &&
           listing(dir + relative.first(slash + 1)).contains(relative.sliced(slash + 1));
}

const QSet<QString> &DesktopEntries::listing(const QString &folder) const
{
    auto known = m_listings.find(folder);
    if (known == m_listings.end())
        known = m_listings.insert(folder, folderEntryNames(folder));
    return *known;
}

std::optional<DesktopEntry> DesktopEntries::findForWindowClass(const QString &className,
                                                               const QString &instanceName) const
{
    for (const QString &candidate :
         {className, className.toLower(), instanceName, instanceName.toLower()}) {
        if (auto entry = find(candidate))
            return entry;
    }
    return findForStartupWmClass(className);
}

std::optional<DesktopEntry> DesktopEntries::findForStartupWmClass(const QString &wmClass) const
{
    if (wmClass.isEmpty())
        return std::nullopt;
    const auto &index = startupWmClassIndex();
    if (const auto id = index.constFind(wmClass); id != index.constEnd())
        return find(*id);
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::findHinted(const QString &path) const
{
    const QString id = idFromPath(path);
    const bool inFolders = std::any_of(m_applicationDirs.cbegin(), m_applicationDirs.cend(),
                                       [&](const QString &dir) { return path.startsWith(dir); });
    if (inFolders || !path.startsWith(u'/') || !path.endsWith(suffix) || !isSafeId(id))
        return find(id);
    if (const auto known = m_byHintedPath.constFind(path); known != m_byHintedPath.constEnd())
        return *known;
    const std::optional<DesktopEntry> entry = load(path, id);
    m_byHintedPath.insert(path, entry);
    return entry;
}

std::optional<DesktopEntry> DesktopEntries::load(const QString &path, const QString &id) const
{
    const BoundedContent content = readBounded(path, maxEntryBytes);
    const KeyFile file = KeyFile::parse(content.bytes, content.truncated);
    if (!file.hasGroup(entryGroup) || file.value(entryGroup, QStringLiteral("Hidden")) == u"true")
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.name =
        cutText(file.localizedValue(entryGroup, QStringLiteral("Name"), m_localeKeys).trimmed(),
                maxDisplayNameLength);
    entry.startupWmClass =
        cutText(file.value(entryGroup, QStringLiteral("StartupWMClass")), maxIdentifierLength);
    return entry;
}

const QHash<QString, QString> &DesktopEntries::startupWmClassIndex() const
{
    if (m_idByWmClass)
        return *m_idByWmClass;
    m_idByWmClass.emplace();
    int visited = 0;
    // Each file once, however many links lead to it.
    QSet<std::pair<dev_t, ino_t>> seen;
    for (const QString &dir : m_applicationDirs) {
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext() && visited < maxIndexedEntries) {
            const QString path = it.next();
            struct stat status;
            if (::stat(QFile::encodeName(path).constData(), &status) != 0 ||
                !S_ISREG(status.st_mode) || status.st_size > maxIndexedEntryBytes)
                continue;
            const std::pair file{status.st_dev, status.st_ino};
            if (seen.contains(file))
                continue;
            seen.insert(file);
            ++visited;
            const BoundedContent content = readBounded(path, maxIndexedEntryBytes);
            if (!content.bytes.contains("StartupWMClass"))
                continue; // most entries declare none; skip parsing them
            const QString id = idFromPath(path);
            const auto entry = find(id);
            if (entry && !entry->startupWmClass.isEmpty() &&
                !m_idByWmClass->contains(entry->startupWmClass)) {
                m_idByWmClass->insert(entry->startupWmClass, id); // first folder wins
            }
        }
    }
    return *m_idByWmClass;
}

QString DesktopEntries::idFromPath(const QString &path)
{
    QString relative = path;
    const QString marker = QStringLiteral("/applications/");
    if (const qsizetype at = path.lastIndexOf(marker); at >= 0)
        relative = path.sliced(at + marker.size());
    else
        relative = path.sliced(path.lastIndexOf(u'/') + 1);
    if (relative.endsWith(suffix))
        relative.chop(suffix.size());
    return relative.replace(u'/', u'-');
}

QStringList DesktopEntries::defaultDataDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

QString DesktopEntries::defaultLocale()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return {};
}
