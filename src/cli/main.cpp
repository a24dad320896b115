// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-scan: one scan pass over this machine, for checking it without the window.

#include "detection/FindingsJson.h"
#include "detection/processes/ProcProcessSource.h"
#include "detection/processes/PsProcessSource.h"
#include "detection/ScanPass.h"
#include "TerminalText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

enum ExitStatus { NothingFound = 0, SomethingFound = 1, UsageError = 2 };

// Writes `fields` joined by tabs, each escaped for the terminal.
void writeLine(std::FILE *stream, const QStringList &fields)
{
    QStringList printable;
    for (const QString &field : fields)
        printable << terminalText(field);
    const QByteArray line = printable.join(u'\t').toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
}

// The lines --explain prints under a finding, indented.
QStringList explanation(const Finding &finding)
{
    QStringList pids;
    for (qint64 pid : finding.pids)
        pids << QString::number(pid);
    QStringList lines{QStringLiteral("    process ids: ") +
                      (pids.isEmpty() ? QStringLiteral("-") : pids.join(QStringLiteral(", ")))};
    for (const Evidence &evidence : finding.evidence) {
        QString line = QStringLiteral("    ") + nameSourceLabel(evidence.source) +
                       QStringLiteral(": ") + evidence.name;
        if (evidence.pid)
            line += QStringLiteral(" (pid ") + QString::number(*evidence.pid) + u')';
        if (!evidence.traits.isEmpty())
            line += QStringLiteral(" (") + evidence.traits.join(QStringLiteral(", ")) + u')';
        lines << line;
    }
    return lines;
}

int usageError(const QString &message)
{
    writeLine(stderr, {message});
    writeLine(stderr, {QStringLiteral("Try 'nimbrel-scan --help'.")});
    return UsageError;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbrel-scan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Looks once at the running applications and processes of this machine for the Cluely\n"
        "interview assistant (also misspelled, look-alike, reversed, Base64 and hexadecimal\n"
        "names and bundle identifiers) and for the names ZoomHelper, CheatTool and KeyLogger.\n"
        "Prints one line per finding.\n"
        "\n"
        "Exit status: 0 when nothing was found, 1 when something was, 2 for a usage error."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption psOption(
        QStringLiteral("ps"),
        QStringLiteral("Read the process table with \"/bin/ps -axo comm=\" (names cut to 15 "
                       "characters on Linux) instead of /proc."));
    const QCommandLineOption procRootOption(
        QStringLiteral("proc-root"),
        QStringLiteral("Read the process table from <directory> instead of /proc (for example "
                       "a host's /proc mounted into a container)."),
        QStringLiteral("directory"), QStringLiteral("/proc"));
    const QCommandLineOption appsOption(
        QStringLiteral("apps"),
        QStringLiteral("Only list the desktop's running applications as the scan sees them, one "
                       "a line: display name, a tab, bundle identifier (\"-\" when unknown)."));
    const QCommandLineOption explainOption(
        QStringLiteral("explain"),
        QStringLiteral("Under each line, print the process ids it stands for and the evidence: "
                       "each name that matched and where it came from (exe, argv0, comm, "
                       "script, package-name, window-title, window-class, ...), or the "
                       "overlay window and its properties. After the lines, print the "
                       "environment (virtual machine, container, remote-control programs, "
                       "monitors, graphical session) and what the scan could not see."));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"),
        QStringLiteral("Print one JSON document instead of lines: the scan's time (UTC), host "
                       "name and each finding in order with its line, kind (cluely, generic, "
                       "overlay), source (process, application, window), process ids and "
                       "evidence, then the context: environment and coverage, as --explain "
                       "prints them. The exit status is the same."));
    parser.addOptions({psOption, procRootOption, appsOption, explainOption, jsonOption});

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(NothingFound);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(QStringLiteral("nimbrel-scan takes no arguments: ") +
                          parser.positionalArguments().join(u' '));
    }
    if (parser.isSet(psOption) && parser.isSet(procRootOption))
        return usageError(QStringLiteral("--ps and --proc-root cannot be used together."));
    if (parser.isSet(jsonOption) && (parser.isSet(explainOption) || parser.isSet(appsOption)))
        return usageError(QStringLiteral("--json cannot be used with --explain or --apps."));

    if (parser.isSet(appsOption)) {
        const auto orUnknown = [](const std::optional<QString> &field) {
            return field.value_or(QStringLiteral("-"));
        };
        for (const RunningApplication &application :
             defaultRunningApplicationsSource()->runningApplications())
            writeLine(stdout, {orUnknown(application.displayName),
                               orUnknown(application.bundleIdentifier)});
        return NothingFound;
    }

    const QDateTime started = QDateTime::currentDateTimeUtc();
    ScanResult scan;
    if (parser.isSet(psOption))
        scan = scanMachine(*defaultRunningApplicationsSource(), PsProcessSource());
    else if (parser.isSet(procRootOption))
        scan = scanMachine(*defaultRunningApplicationsSource(),
                           ProcProcessSource(parser.value(procRootOption)));
    else
        scan = scanMachine();
    const QList<Finding> &findings = scan.findings;
    if (parser.isSet(jsonOption)) {
        const QByteArray document = findingsJson(scan, started, QSysInfo::machineHostName());
        std::fwrite(document.constData(), 1, size_t(document.size()), stdout);
        return findings.isEmpty() ? NothingFound : SomethingFound;
    }
    for (const Finding &finding : findings) {
        writeLine(stdout, {finding.line});
        if (parser.isSet(explainOption)) {
            for (const QString &line : explanation(finding))
                writeLine(stdout, {line});
        }
    }
    if (parser.isSet(explainOption)) {
        for (const auto &[heading, lines] : {std::pair{u"Environment:"_s, scan.context.environment},
                                             std::pair{u"Coverage:"_s, scan.context.coverage}}) {
            writeLine(stdout, {heading});
            for (const QString &line : lines)
                writeLine(stdout, {u"    "_s + line});
            if (lines.isEmpty())
                writeLine(stdout, {u"    nothing was out of sight"_s});
        }
    }
    return findings.isEmpty() ? NothingFound : SomethingFound;
}
