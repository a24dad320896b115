// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QSize>
#include <QString>

// Xvfb on a display number it picks itself (-displayfd), so parallel runs
// and other displays never collide. Stopped with the object.
//
//   XvfbServer server;
//   QVERIFY2(server.start({1024, 800}), "Xvfb did not start");
//   qputenv("DISPLAY", server.display().toLocal8Bit());
class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    // Starts the server with `screens` screens of this size (Xvfb's default,
    // 1280x1024, when empty) and waits at most 10 s for it to report its display.
    bool start(QSize screen = {}, int screens = 1);
    QString display() const { return m_display; } // ":N"
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    QString m_display;
};
