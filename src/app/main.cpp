#include "NimbrelApp.h"
#include "ResendService.h"
#include "ScanPass.h"

#include <QGuiApplication>
#include <QIcon>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("nimbrel"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/nimbrel/nimbrel.png")));

    NimbrelApp nimbrel([] { return std::make_shared<ResendService>(); },
                       [] { return scanForSuspiciousProcesses(); });
    nimbrel.openWindow();
    app.exec();
    return 0;
}
