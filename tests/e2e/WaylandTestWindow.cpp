// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A native Wayland window for tests: a 300x200 window with the app id and
// title in $TEST_APP_ID and $TEST_TITLE, which lives until its standard input
// closes.
#include <QGuiApplication>
#include <QRasterWindow>
#include <QSocketNotifier>

#include <unistd.h>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(qEnvironmentVariable("TEST_APP_ID"));
    QRasterWindow window;
    window.setTitle(qEnvironmentVariable("TEST_TITLE"));
    window.resize(300, 200);
    window.show();
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char byte;
        if (read(0, &byte, 1) <= 0)
            application.quit();
    });
    return application.exec();
}
