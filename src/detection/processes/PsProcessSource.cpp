// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/PsProcessSource.h"

#include "detection/processes/ProcessNameList.h"

#include <QStringDecoder>

#include <cstdio>

namespace {

void printLine(const QString &text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

PsProcessSource::PsProcessSource()
    : PsProcessSource(QStringLiteral("/bin/ps"), {QStringLiteral("-axo"), QStringLiteral("comm=")})
{}

PsProcessSource::PsProcessSource(QString program, QStringList arguments, ChildProcessLimits limits)
    : m_program(std::move(program)), m_arguments(std::move(arguments)), m_limits(limits)
{}

QStringList PsProcessSource::runningProcessNames() const
{
    const ChildProcessRun run = runChildProcess(m_program, m_arguments, m_limits);
    switch (run.outcome) {
    case ChildProcessRun::Outcome::LaunchFailed:
        printLine(QStringLiteral("Error running ps command: ") + run.errorDescription);
        return {};
    case ChildProcessRun::Outcome::TimedOut:
        printLine(QStringLiteral("Process scan timed out"));
        return {};
    case ChildProcessRun::Outcome::OutputTooLarge:
        return {}; // no process table is that large: the output is not one
    case ChildProcessRun::Outcome::Finished:
        break;
    }

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(run.output);
    if (decoder.hasError())
        return {};
    return distinctProcessNames(splitProcessTableLines(text));
}

QList<ObservedProcess> PsProcessSource::runningProcesses() const
{
    QList<ObservedProcess> processes;
    for (QString &name : runningProcessNames())
        processes.append({std::nullopt, {{std::move(name), NameSource::ProcessTable}}});
    return processes;
}
