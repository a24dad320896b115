// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/CgroupApplication.h"

#include "detection/desktop/SystemdEscape.h"

#include <QList>
#include <QRegularExpression>

namespace {

// An identifier fit to be shown and looked up: no control characters, no path.
bool isPlausibleIdentifier(const QString &id)
{
    if (id.isEmpty() || id.contains(u'/'))
        return false;
    for (QChar c : id) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

std::optional<LaunchedUnit> unitWithIdentifier(const QString &identifier, QStringView unitName)
{
    if (!isPlausibleIdentifier(identifier))
        return std::nullopt;
    return LaunchedUnit{identifier, unitName.toString()};
}

} // namespace

std::optional<LaunchedUnit> applicationUnit(QStringView unitName)
{
    const bool isScope = unitName.endsWith(u".scope");
    const bool isService = unitName.endsWith(u".service");
    if (!unitName.startsWith(u"app-") || (!isScope && !isService))
        return std::nullopt;

    QStringView body = unitName.sliced(4).chopped(isScope ? 6 : 8);
    if (isService) {
        if (const qsizetype at = body.indexOf(u'@'); at >= 0)
            body.truncate(at);
    }
    QList<QStringView> parts = body.split(u'-');
    if (isScope) {
        if (parts.size() < 2)
            return std::nullopt; // a scope always ends in its random part
        parts.removeLast();
    }
    if (parts.size() >= 2)
        parts.removeFirst(); // the launcher, "gnome", "kde", "flatpak", ...
    // A launcher that forgot to escape '-' in the ID leaves it split: join it back.
    QString escapedId;
    for (QStringView part : parts) {
        if (!escapedId.isEmpty())
            escapedId += u'-';
        escapedId += part;
    }
    return unitWithIdentifier(systemdUnescape(escapedId), unitName);
}

std::optional<LaunchedUnit> snapUnit(QStringView unitName)
{
    constexpr QStringView prefix = u"snap.";
    constexpr QStringView suffix = u".scope";
    // The two share their '.', so a name can hold both and be shorter than both.
    if (unitName.size() < prefix.size() + suffix.size() || !unitName.startsWith(prefix) ||
        !unitName.endsWith(suffix))
        return std::nullopt;
    const QList<QStringView> parts =
        unitName.sliced(prefix.size()).chopped(suffix.size()).split(u'.');
    if (parts.size() < 2 || parts[0].isEmpty() || parts[1] == u"hook")
        return std::nullopt;
    static const QRegularExpression uuidSuffix(QStringLiteral(
        "-[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$"));
    QString app = parts[1].toString();
    app.remove(uuidSuffix);
    if (app.isEmpty())
        return std::nullopt;
    return unitWithIdentifier(parts[0].toString() + u'_' + app, unitName);
}

CgroupApplications cgroupApplications(QByteArrayView cgroupFile)
{
    QList<QStringView> paths;
    const QString text = QString::fromUtf8(cgroupFile);
    for (QStringView line : QStringView(text).split(u'\n')) {
        const qsizetype first = line.indexOf(u':');
        const qsizetype second = first < 0 ? -1 : line.indexOf(u':', first + 1);
        if (second < 0)
            continue; // not a cgroup line
        const QStringView path = line.sliced(second + 1).trimmed();
        if (line.startsWith(u"0::"))
            paths.prepend(path);
        else
            paths.append(path);
    }

    CgroupApplications found;
    for (QStringView path : paths) {
        const QList<QStringView> components = path.split(u'/', Qt::SkipEmptyParts);
        for (auto it = components.crbegin(); it != components.crend(); ++it) {
            if (!found.systemdUnit)
                found.systemdUnit = applicationUnit(*it);
            if (!found.snap)
                found.snap = snapUnit(*it);
        }
    }
    return found;
}
