// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/ScanPass.h"

#include "detection/desktop/LinuxRunningApplications.h"

std::unique_ptr<RunningApplicationsSource> defaultRunningApplicationsSource()
{
    // The session's /proc and desktop entries, and its X windows when $DISPLAY is set.
    return std::make_unique<LinuxRunningApplications>(
        LinuxRunningApplications::sessionEnvironment());
}
