#include "NimbrelApp.h"

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
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/nimbrel/nimbrel.svg")));

    NimbrelApp nimbrel;
    nimbrel.openWindow();
    app.exec();
    return 0;
}
