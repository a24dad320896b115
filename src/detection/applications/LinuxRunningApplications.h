#pragma once

#include "ProcessRecord.h"
#include "detection/RunningApplications.h"

#include <QString>
#include <QStringList>

#include <optional>

// The applications of the user's Linux desktop: from the processes in /proc
// (systemd units, Flatpak, Snap, launcher hints) and, when an X display is
// given, from its client windows. Names come from the desktop entries.
class LinuxRunningApplications : public RunningApplicationsSource
{
public:
    struct Environment
    {
        QString procRoot = QStringLiteral("/proc");
        uint uid = 0;
        QStringList dataDirs{};              // XDG data folders, in order of precedence
        QString locale{};                    // POSIX locale name for the translated names
        std::optional<QString> x11Display{}; // none: no windows are read
    };

    explicit LinuxRunningApplications(Environment environment);

    // This session: the real /proc and user, $XDG_DATA_HOME and $XDG_DATA_DIRS,
    // the messages locale and $DISPLAY.
    static Environment sessionEnvironment();

    QList<RunningApplication> runningApplications() const override;
    QStringList applicationLimits() const override { return m_limits; }

    // The same from processes already read from `procRoot` (the user's, as
    // ProcFsReader gives them), for a pass that walks /proc once for all.
    // What the desktop's windows could not show is added to `limits`, each
    // text starting "windows: ".
    QList<RunningApplication> applicationsOf(const QList<ProcessRecord> &userProcesses,
                                             QStringList *limits = nullptr) const;

    const Environment &environment() const { return m_environment; }

private:
    Environment m_environment;
    mutable QStringList m_limits; // of the last runningApplications()
};
