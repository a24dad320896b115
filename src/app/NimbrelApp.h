// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MonitoringSession.h"

#include <QObject>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>

#include <chrono>
#include <functional>
#include <memory>

class QQuickWindow;

// The application: opens windows, each with its own e-mail service, its own
// VerificationFlow and, for the address that flow verifies, its own
// MonitoringSession.
//
// Every ending is orderly: a window that is closed (or all of them, on quit)
// first finishes its session, so a window that monitors sends its stop notice,
// and the window stays alive, hidden, until its e-mails are out or the ending
// time is up. The event loop ends when the last window has gone.
class NimbrelApp : public QObject
{
    Q_OBJECT

public:
    using SenderFactory = std::function<std::shared_ptr<EmailSender>()>;

    // How long a closing window waits for its e-mails.
    static constexpr std::chrono::milliseconds endingTime{5'000};

    NimbrelApp(SenderFactory makeSender, MonitoringSession::ScanPass scanPass,
               MonitoringOptions monitoring = {}, QObject *parent = nullptr);

    // Every monitoring run's report is kept in `path` as JSON, from its start
    // on, replaced at each scan and at its stop.
    void setSessionReportFile(const QString &path) { m_sessionReportFile = path; }

    // Opens one more window; a window and its state end when it is closed.
    QQuickWindow *openWindow();

public slots:
    // Closes every window the orderly way, then ends the event loop.
    void quit();

private slots:
    void openAnotherWindow();

private:
    void endWindow(QQuickWindow *window);

    SenderFactory m_makeSender;
    MonitoringSession::ScanPass m_scanPass;
    MonitoringOptions m_monitoring;
    QString m_sessionReportFile;
    QList<QPointer<QQuickWindow>> m_windows;
    QQmlEngine m_engine;
    QQmlComponent m_mainWindow{&m_engine};
};
