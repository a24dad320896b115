// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessibleItems.h"
#include "CommandLine.h"
#include "InMemoryCaches.h"
#include "MissingConfigWindow.h"
#include "NimbrelApp.h"
#include "RelaySender.h"
#include "ResendService.h"
#include "TerminationSignals.h"
#include "WindowRenderer.h"
#include "detection/ScanPass.h"

#include <QGuiApplication>
#include <QIcon>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NIMBREL_VERSION));
    if (asksForTextOnly(argc, argv)) {
        const QCoreApplication text(argc, argv);
        return readCommandLine(QCoreApplication::arguments()).exitStatus.value_or(EXIT_SUCCESS);
    }

    const InMemoryCaches caches;
    WindowRenderer::prepare();
    QGuiApplication app(argc, argv);
    // As early as the event loop allows: a signal before this ends the process
    // at once, leaving its cache folder to the next start's sweep. One after it
    // waits in the pipe until the event loop runs.
    TerminationSignals terminationSignals;
    const CommandLine commandLine = readCommandLine(QGuiApplication::arguments());
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    WindowRenderer::choose();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    // Names the desktop entry, and on Wayland the app id that finds the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(NIMBREL_APP_ID));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/nimbrel/nimbrel.png")));

    // Read once at start: a file removed later cannot end a session that monitors.
    const auto config = loadResendConfig(commandLine.configFile);
    if (const auto *problem = std::get_if<ConfigProblem>(&config)) {
        // A setting that cannot be used was named on standard error already.
        if (problem->invalidSetting.isEmpty())
            printMissingKeyMessage();
        // Started from a desktop launcher nobody sees standard error: say it in a window.
        if (QGuiApplication::platformName() != QLatin1String("offscreen") &&
            QGuiApplication::platformName() != QLatin1String("minimal")) {
            QObject::connect(&terminationSignals, &TerminationSignals::received, &app,
                             &QCoreApplication::quit);
            showMissingConfigWindow(*problem);
        }
        return EXIT_FAILURE;
    }
    const ResendConfig &resend = std::get<ResendConfig>(config);
    installAccessibleItems();

    // A relay session is claimed once, so every window shares its sender.
    std::shared_ptr<EmailSender> relay;
    if (!resend.relayUrl.isEmpty())
        relay = std::make_shared<RelaySender>(resend);
    NimbrelApp nimbrel(
        [resend, relay]() -> std::shared_ptr<EmailSender> {
            return relay ? relay : std::make_shared<ResendService>(resend);
        },
        [] { return scanMachine(); },
        {.scanResultsEmails = resend.scanResultsEmails,
         .statusEmailInterval = std::chrono::minutes(resend.statusEmailMinutes)});
    nimbrel.setSessionReportFile(commandLine.sessionReportFile);
    QObject::connect(&terminationSignals, &TerminationSignals::received, &nimbrel,
                     &NimbrelApp::quit);
    nimbrel.openWindow();
    return app.exec();
}
