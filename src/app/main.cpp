// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessibleItems.h"
#include "InMemoryCaches.h"
#include "MissingConfigWindow.h"
#include "NimbrelApp.h"
#include "ResendService.h"
#include "detection/ScanPass.h"
#include "TerminationSignals.h"
#include "WindowRenderer.h"

#include <QGuiApplication>
#include <QIcon>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

int main(int argc, char *argv[])
{
    const InMemoryCaches caches;
    WindowRenderer::prepare();
    QGuiApplication app(argc, argv);
    // As early as the event loop allows: a signal before this ends the process
    // at once, leaving its cache folder to the next start's sweep. One after it
    // waits in the pipe until the event loop runs.
    TerminationSignals terminationSignals;
    WindowRenderer::choose();
    QGuiApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    QGuiApplication::setApplicationVersion(QStringLiteral(NIMBREL_VERSION));
    // Names the desktop entry, and on Wayland the app id that finds the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(NIMBREL_APP_ID));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/nimbrel/nimbrel.png")));

    // Read once at start: a file removed later cannot end a session that monitors.
    const auto config = loadResendConfig();
    if (const auto *problem = std::get_if<ConfigProblem>(&config)) {
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

    NimbrelApp nimbrel([resend] { return std::make_shared<ResendService>(resend); },
                       [] { return scanForSuspiciousProcesses(); }, resend.scanResultsEmails);
    QObject::connect(&terminationSignals, &TerminationSignals::received, &nimbrel,
                     &NimbrelApp::quit);
    nimbrel.openWindow();
    return app.exec();
}
