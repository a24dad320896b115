#pragma once

#include <QList>
#include <QString>

#include <optional>

// One application of the user's desktop, as a person would count it in a
// dock or task bar. Either field may be unknown.
struct RunningApplication
{
    std::optional<QString> displayName;
    std::optional<QString> bundleIdentifier; // desktop-entry ID style, e.g. org.gnome.Nautilus

    bool operator==(const RunningApplication &) const = default;
};

// Where the scan pass gets the desktop's running applications from.
class RunningApplicationsSource
{
public:
    virtual ~RunningApplicationsSource() = default;

    // The applications at this moment, in an order that is stable for one pass.
    virtual QList<RunningApplication> runningApplications() const = 0;
};
