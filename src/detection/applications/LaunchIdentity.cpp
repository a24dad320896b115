#include "LaunchIdentity.h"

#include "CgroupApplication.h"
#include "DesktopEntries.h"
#include "KeyFile.h"

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

} // namespace

std::optional<LaunchIdentity> launchIdentity(const ProcessRecord &process)
{
    const CgroupApplications cgroup = cgroupApplications(process.cgroup);
    if (cgroup.systemdUnit)
        return LaunchIdentity{cgroup.systemdUnit->identifier, cgroup.systemdUnit->unit};
    if (auto flatpak = flatpakIdentity(process.flatpakInfo))
        return flatpak;
    if (cgroup.snap)
        return LaunchIdentity{cgroup.snap->identifier, cgroup.snap->unit};
    const QString hinted = DesktopEntries::idFromPath(process.launcherHint);
    if (!hinted.isEmpty())
        return LaunchIdentity{hinted, {}};
    return std::nullopt;
}
