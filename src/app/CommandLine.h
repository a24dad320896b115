// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include <optional>

// What nimbrel's own options ask for; Qt's (-platform, -display, ...) are
// taken out by QGuiApplication before these are read.
struct CommandLine
{
    // --config FILE: the one Config.plist to read instead of looking for one.
    QString configFile;
    // --session-report FILE: where each monitoring run's report is kept as JSON.
    QString sessionReportFile;
    // Set when the process has nothing more to do: 0 after the help or version
    // text, 2 after saying what is wrong with the arguments.
    std::optional<int> exitStatus;
};

// True when the arguments ask only for text (--help, --version), which is
// printed before any display is opened: QGuiApplication aborts without one.
bool asksForTextOnly(int argc, const char *const *argv);

// Reads the arguments (the program's name first), printing the help or version
// text on standard output or the problem on standard error.
CommandLine readCommandLine(const QStringList &arguments);
