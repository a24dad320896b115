#pragma once

#include "ProcessRecord.h"

#include <QString>

#include <optional>

// The application a process was launched as, from what the process itself
// carries. In order of trust: the desktop's systemd unit, Flatpak's instance
// file, a Snap's scope, the launcher's hint in the environment.
struct LaunchIdentity
{
    QString identifier; // desktop-entry ID
    // Names the one instance the process belongs to (a unit, a Flatpak
    // instance); empty when only the process tree can tell instances apart.
    QString instance;
};

std::optional<LaunchIdentity> launchIdentity(const ProcessRecord &process);
