// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/context/Virtualization.h"

#include "detection/proc/BoundedRead.h"

#include <QFileInfo>

#include <array>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// The first processor's entry, flags included, fits well within this.
constexpr qint64 maxCpuinfoBytes = 16 * 1024;
constexpr qint64 maxSmallFileBytes = 4 * 1024;
constexpr qint64 maxEnvironBytes = 64 * 1024;
// A name a marker file gives is shown cut to this length.
constexpr qsizetype maxShownName = 64;

// DMI values that mark a virtual machine, matched at the start of each DMI
// field, and the hypervisor they name (systemd-detect-virt's table).
constexpr std::array<std::pair<QStringView, QStringView>, 17> dmiVendors = {{
    {u"KVM", u"KVM"},
    {u"OpenStack", u"KVM"},
    {u"KubeVirt", u"KVM"},
    {u"Amazon EC2", u"Amazon EC2"},
    {u"QEMU", u"QEMU"},
    {u"VMware", u"VMware"},
    {u"VMW", u"VMware"},
    {u"innotek GmbH", u"VirtualBox"},
    {u"VirtualBox", u"VirtualBox"},
    {u"Xen", u"Xen"},
    {u"Bochs", u"Bochs"},
    {u"Parallels", u"Parallels"},
    {u"BHYVE", u"bhyve"},
    {u"Hyper-V", u"Hyper-V"},
    {u"Virtual Machine", u"Hyper-V"}, // Microsoft's product name
    {u"Apple Virtualization", u"Apple Virtualization"},
    {u"Google Compute Engine", u"Google Compute Engine"},
}};

constexpr std::array<std::pair<QStringView, QStringView>, 4> dmiFields = {{
    {u"sys_vendor", u"system vendor"},
    {u"board_vendor", u"board vendor"},
    {u"product_name", u"product name"},
    {u"bios_vendor", u"BIOS vendor"},
}};

// CPUID's hypervisor vendor signatures.
constexpr std::array<std::pair<QStringView, QStringView>, 9> cpuVendors = {{
    {u"KVMKVMKVM", u"KVM"},
    {u"Linux KVM Hv", u"KVM"},
    {u"XenVMMXenVMM", u"Xen"},
    {u"TCGTCGTCGTCG", u"QEMU"},
    {u"VMwareVMware", u"VMware"},
    {u"Microsoft Hv", u"Hyper-V"},
    {u"bhyve bhyve", u"bhyve"},
    {u"QNXQVMBSQG", u"QNX"},
    {u"ACRNACRNACRN", u"ACRN"},
}};

// How people write the names container managers give themselves.
constexpr std::array<std::pair<QStringView, QStringView>, 8> containerNames = {{
    {u"docker", u"Docker"},
    {u"podman", u"Podman"},
    {u"lxc", u"LXC"},
    {u"lxc-libvirt", u"LXC"},
    {u"openvz", u"OpenVZ"},
    {u"wsl", u"WSL"},
    {u"kubernetes", u"Kubernetes"},
    {u"oci", u"an OCI runtime"},
}};

// The cgroup path of a process in a container names its manager.
constexpr std::array<std::pair<QByteArrayView, QStringView>, 6> cgroupHints = {{
    {"/docker/", u"docker"},
    {"/docker-", u"docker"},
    {"/libpod-", u"podman"},
    {"/lxc/", u"lxc"},
    {"/lxc.payload", u"lxc"},
    {"/kubepods", u"kubernetes"},
}};

template <size_t N>
QString lookUp(const std::array<std::pair<QStringView, QStringView>, N> &table, QStringView key)
{
    for (const auto &[known, name] : table) {
        if (key == known)
            return name.toString();
    }
    return {};
}

// A one-line value of a small file: its first line, trimmed and cut.
QString firstLine(const QString &path)
{
    const QByteArray bytes = readBounded(path, maxSmallFileBytes).bytes;
    return QString::fromUtf8(bytes.left(bytes.indexOf('\n'))).trimmed().left(maxShownName);
}

bool hasHypervisorFlag(const QString &cpuinfo)
{
    const QByteArray text = readBounded(cpuinfo, maxCpuinfoBytes).bytes;
    const qsizetype flags = text.startsWith("flags") ? 0 : text.indexOf("\nflags");
    if (flags < 0)
        return false;
    qsizetype end = text.indexOf('\n', flags + 1);
    if (end < 0)
        end = text.size();
    return (text.sliced(flags, end - flags) + ' ').contains(" hypervisor ");
}

// "NAME (EVIDENCE; ...)" from what was found: the first name given, else `fallback`.
QString fact(const QString &topic, const QStringList &evidence, const QStringList &names,
             const QString &fallback)
{
    if (evidence.isEmpty())
        return topic + u": none found"_s;
    const QString name = names.isEmpty() ? fallback : names.first();
    return topic + u": "_s + name + u" ("_s + evidence.join(u"; "_s) + u')';
}

QString virtualMachine(const QString &root, const QString &cpuVendor)
{
    QStringList evidence;
    QStringList names;
    for (const auto &[field, label] : dmiFields) {
        const QString value = firstLine(root + u"/sys/class/dmi/id/"_s + field.toString());
        for (const auto &[prefix, name] : dmiVendors) {
            if (value.startsWith(prefix)) {
                evidence << u"DMI %1 %2"_s.arg(label, value);
                names << name.toString();
                break;
            }
        }
    }
    if (const QString type = firstLine(root + u"/sys/hypervisor/type"_s); !type.isEmpty()) {
        evidence << u"/sys/hypervisor/type says "_s + type;
        names << (type == u"xen" ? u"Xen"_s : type);
    }
    if (hasHypervisorFlag(root + u"/proc/cpuinfo"_s)) {
        evidence << u"the CPU's hypervisor flag"_s;
        const QString known = lookUp(cpuVendors, cpuVendor);
        if (!known.isEmpty() || !cpuVendor.isEmpty())
            names << (known.isEmpty() ? cpuVendor : known);
    }
    return fact(u"virtual machine"_s, evidence, names, u"an unnamed hypervisor"_s);
}

QString container(const QString &root)
{
    QStringList evidence;
    QStringList names;
    const auto named = [&](const QString &manager, const QString &shown) {
        evidence << shown;
        const QString known = lookUp(containerNames, manager);
        names << (known.isEmpty() ? manager : known);
    };
    for (const QString &marker : {u"/run/systemd/container"_s, u"/run/host/container-manager"_s}) {
        if (const QString manager = firstLine(root + marker); !manager.isEmpty())
            named(manager, marker + u" says "_s + manager);
    }
    // Only root may read init's environment, and only where init is this system's.
    const QByteArray environ = readBounded(root + u"/proc/1/environ"_s, maxEnvironBytes).bytes;
    for (const QByteArray &variable : environ.split('\0')) {
        if (variable.startsWith("container=") && variable.size() > 10) {
            const QString manager = QString::fromUtf8(variable.sliced(10)).left(maxShownName);
            named(manager, u"init's container="_s + manager);
        }
    }
    if (QFileInfo::exists(root + u"/.dockerenv"_s))
        named(u"docker"_s, u"/.dockerenv"_s);
    if (QFileInfo::exists(root + u"/run/.containerenv"_s))
        named(u"podman"_s, u"/run/.containerenv"_s);
    if (QFileInfo::exists(root + u"/proc/vz"_s) && !QFileInfo::exists(root + u"/proc/bc"_s))
        named(u"openvz"_s, u"/proc/vz"_s);
    const QString release = firstLine(root + u"/proc/sys/kernel/osrelease"_s);
    if (release.contains(u"Microsoft"_s) || release.contains(u"WSL"_s))
        named(u"wsl"_s, u"kernel release "_s + release);
    const QByteArray cgroup = readBounded(root + u"/proc/self/cgroup"_s, maxSmallFileBytes).bytes;
    for (const auto &[hint, manager] : cgroupHints) {
        if (cgroup.contains(hint)) {
            named(manager.toString(), u"this process's cgroup names "_s + manager.toString());
            break;
        }
    }
    return fact(u"container"_s, evidence, names, {});
}

} // namespace

QStringList virtualizationFacts(const QString &root, const QString &cpuVendor)
{
    return {virtualMachine(root, cpuVendor), container(root)};
}

QString cpuHypervisorVendor()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    // The hypervisor bit of leaf 1 says whether leaf 0x40000000 is the hypervisor's.
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & (1u << 31)))
        return {};
    __cpuid(0x40000000, eax, ebx, ecx, edx);
    const unsigned int signature[] = {ebx, ecx, edx};
    QByteArray vendor(reinterpret_cast<const char *>(signature), sizeof signature);
    vendor.truncate(qstrnlen(vendor.constData(), vendor.size()));
    return QString::fromLatin1(vendor).trimmed();
#else
    return {};
#endif
}
