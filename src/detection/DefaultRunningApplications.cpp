#include "detection/ScanPass.h"

#include "detection/desktop/LinuxRunningApplications.h"

std::unique_ptr<RunningApplicationsSource> defaultRunningApplicationsSource()
{
    // The session's /proc and desktop entries, and its X windows when $DISPLAY is set.
    return std::make_unique<LinuxRunningApplications>(
        LinuxRunningApplications::sessionEnvironment());
}
