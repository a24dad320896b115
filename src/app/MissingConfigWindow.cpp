// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MissingConfigWindow.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QWindow>

void showMissingConfigWindow(const ConfigProblem &problem)
{
    const QString what = configProblemText(problem);
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Nimbrel/qml/MissingConfig.qml")));
    std::unique_ptr<QObject> window(component.createWithInitialProperties(
        {{QStringLiteral("problem"), what}, {QStringLiteral("searched"), problem.searched}}));
    if (!window) {
        qCritical().noquote() << component.errorString();
        return;
    }
    QGuiApplication::exec(); // ends when the window closes: it is the only one
}
