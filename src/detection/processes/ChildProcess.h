// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

// What became of one run of a child process whose standard output we collect.
struct ChildProcessRun
{
    enum class Outcome {
        Finished,       // exited on its own; `output` holds all it wrote
        LaunchFailed,   // never ran; `errorDescription` says why
        TimedOut,       // still running at the deadline; it was stopped and reaped
        OutputTooLarge, // wrote more than the limit; it was stopped and reaped
    };

    Outcome outcome = Outcome::LaunchFailed;
    QByteArray output;
    QString errorDescription;
};

struct ChildProcessLimits
{
    std::chrono::milliseconds timeLimit{3000};     // from just after the launch
    std::chrono::milliseconds pollInterval{100};   // longest single wait
    std::chrono::milliseconds terminateGrace{500}; // before a terminated child is killed
    qsizetype outputLimit = 64 * 1024 * 1024;      // bytes collected at most
};

// Runs `program` (an absolute path, not searched for) with `arguments`,
// standard input and error inherited, and collects its standard output while
// it runs, so a child that writes more than the pipe holds never stalls.
// A child still running at the deadline is asked to terminate, killed if it
// has not ended after the grace period, and reaped either way; so is a child
// whose output reaches the limit. The child runs in a process group of its own,
// and stopping it stops the whole group: nothing it started outlives it then.
ChildProcessRun runChildProcess(const QString &program, const QStringList &arguments,
                                const ChildProcessLimits &limits = {});
