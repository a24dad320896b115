// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/desktop/LaunchIdentity.h"

#include "detection/desktop/CgroupApplication.h"
#include "detection/desktop/DesktopEntries.h"
#include "detection/desktop/KeyFile.h"

#include <QList>

namespace {

std::optional<LaunchIdentity> flatpakIdentity(const QByteArray &flatpakInfo)
{
    if (flatpakInfo.isEmpty())
        return std::nullopt;
    const KeyFile info = KeyFile::parse(flatpakInfo);
    const QString id = info.value(QStringLiteral("Application"), QStringLiteral("name"));
    if (id.isEmpty() || id.contains(u'/'))
        return std::nullopt;
    const QString instance = info.value(QStringLiteral("Instance"), QStringLiteral("instance-id"));
    return LaunchIdentity{id,
                          instance.isEmpty() ? QString() : QStringLiteral("flatpak:") + instance};
}

// GIO's hint wins over BAMF's: it is set by the launcher that ran last.
std::optional<LaunchIdentity> hintedIdentity(const QByteArray &environment)
{
    static const QByteArray gioHint = QByteArrayLiteral("GIO_LAUNCHED_DESKTOP_FILE=");
    static const QByteArray bamfHint = QByteArrayLiteral("BAMF_DESKTOP_FILE_HINT=");
    QString hinted;
    // Walked in place: most processes of a pass have an environment of a few
    // dozen variables, none of them a hint.
    for (qsizetype start = 0; start < environment.size();) {
        qsizetype end = environment.indexOf('\0', start);
        if (end < 0)
            end = environment.size();
        const QByteArrayView variable(environment.constData() + start, end - start);
        start = end + 1;
        if (variable.startsWith(gioHint)) {
            hinted = QString::fromUtf8(variable.sliced(gioHint.size()));
            break;
        }
        if (variable.startsWith(bamfHint))
            hinted = QString::fromUtf8(variable.sliced(bamfHint.size()));
    }
    const QString id = DesktopEntries::idFromPath(hinted);
    if (id.isEmpty())
        return std::nullopt;
    return LaunchIdentity{id, {}, hinted};
}

} // namespace

std::optional<LaunchIdentity> launchIdentity(const LaunchEvidence &evidence)
{
    const CgroupApplications cgroup = cgroupApplications(evidence.cgroup);
    if (cgroup.systemdUnit)
        return LaunchIdentity{cgroup.systemdUnit->identifier, cgroup.systemdUnit->unit};
    if (evidence.flatpakInfo) {
        if (auto flatpak = flatpakIdentity(evidence.flatpakInfo()))
            return flatpak;
    }
    if (cgroup.snap)
        return LaunchIdentity{cgroup.snap->identifier, cgroup.snap->unit};
    if (evidence.environment)
        return hintedIdentity(evidence.environment());
    return std::nullopt;
}
