// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Whether the machine is a virtual machine or a container, from the evidence
// systemd-detect-virt reads, every file read below `root` ("/" for this
// machine, a test's fake tree otherwise). Two lines, always in this order:
//   "virtual machine: NAME (EVIDENCE; ...)" or "virtual machine: none found"
//   "container: NAME (EVIDENCE; ...)" or "container: none found"
// A virtual machine shows in the CPU's hypervisor flag (/proc/cpuinfo), the
// DMI vendor and product names, /sys/hypervisor/type; a container in the
// markers its manager leaves (/run/systemd/container, /run/host/container-
// manager, /.dockerenv, /run/.containerenv, init's container= variable,
// OpenVZ's /proc/vz), the kernel release of WSL, or this process's cgroup.
// `cpuVendor` is the hypervisor's vendor the CPU names (cpuHypervisorVendor()),
// which names the hypervisor when nothing else does.
QStringList virtualizationFacts(const QString &root, const QString &cpuVendor);

// The vendor signature of the hypervisor the CPU runs under (CPUID leaf
// 0x40000000, e.g. "KVMKVMKVM"); empty on bare metal and off x86.
QString cpuHypervisorVendor();
