// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

// The real nimbrel binary as a person starts it, on the X display in the
// test's DISPLAY: a private copy with its Config.plist beside it, seen
// through screenshots. Every wait is for a condition and bounded; nothing
// assumes that a fixed delay is enough.
//
//   NimbrelWindow app;
//   QVERIFY2(app.start({.apiKey = key, .baseUrl = inbox.baseUrl()}), qPrintable(app.error()));
//   const QImage firstScreen = NimbrelWindow::waitForStillScreen();
class NimbrelWindow
{
public:
    struct Options
    {
        QString apiKey;
        QUrl baseUrl;
        // Added to the test's own environment, e.g. to force a renderer.
        QProcessEnvironment environment = {};
        QStringList arguments = {};
        // Config.plist's own text, in place of one made of apiKey and baseUrl.
        QByteArray configPlist = {};
    };

    NimbrelWindow() = default;
    ~NimbrelWindow();
    NimbrelWindow(const NimbrelWindow &) = delete;
    NimbrelWindow &operator=(const NimbrelWindow &) = delete;

    // Starts the program and waits until its window is mapped, has the
    // keyboard focus and has drawn its first frame.
    bool start(const Options &options);
    QString error() const { return m_error; }
    // The name of the render loop that draws the window ("software",
    // "threaded", ...), once it has drawn.
    QString renderLoop() const { return m_renderLoop; }
    qint64 processId() const { return m_app.processId(); }

    // The whole display now; a null image when it cannot be read.
    static QImage screen();
    // The display once two pictures in a row are the same, so nothing is
    // moving; a null image when it keeps changing.
    static QImage waitForStillScreen(int timeoutMs = 10'000);

private:
    bool fail(const QString &why);

    QTemporaryDir m_layout;
    QProcess m_app;
    int m_frames = 0;
    bool m_rendererDrew = false; // since the last frame reported
    QString m_renderLoop;
    QByteArray m_pendingOutput;
    QString m_error;
};
