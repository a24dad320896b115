#include "ScanPass.h"

namespace {

// Stands in until this platform has a source of the desktop's applications.
class NoRunningApplications : public RunningApplicationsSource
{
public:
    QList<RunningApplication> runningApplications() const override { return {}; }
};

} // namespace

std::unique_ptr<RunningApplicationsSource> defaultRunningApplicationsSource()
{
    return std::make_unique<NoRunningApplications>();
}
