// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

CommandLine endsWith(int exitStatus)
{
    CommandLine ending;
    ending.exitStatus = exitStatus;
    return ending;
}

} // namespace

bool asksForTextOnly(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

CommandLine readCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "Nimbrel", "Verifies the interviewer's e-mail address, then watches this machine for the "
                   "AI interview assistant Cluely and reports to the interviewer by e-mail."));
    // Not addHelpOption(): its --help-all lists Qt's own options, which the
    // text-only path, run without QGuiApplication, does not know.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("Nimbrel", "Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption config(
        QStringLiteral("config"),
        QCoreApplication::translate("Nimbrel", "Reads <file> as Config.plist instead of looking "
                                               "for one."),
        QStringLiteral("file"));
    parser.addOption(config);
    const QCommandLineOption sessionReport(
        QStringLiteral("session-report"),
        QCoreApplication::translate("Nimbrel", "Keeps the report of each monitoring run in <file> "
                                               "as JSON, from its start to its stop."),
        QStringLiteral("file"));
    parser.addOption(sessionReport);

    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return endsWith(2);
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return endsWith(0);
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return endsWith(0);
    }
    CommandLine read;
    read.configFile = parser.value(config);
    read.sessionReportFile = parser.value(sessionReport);
    return read;
}
