#pragma once

#include "ContentView.h"

#include <QObject>
#include <QQmlComponent>
#include <QQmlEngine>

#include <functional>
#include <memory>

class QQuickWindow;

// The application: opens windows, each with its own ContentView, its own
// e-mail service and its own verification and monitoring.
class NimbrelApp : public QObject
{
    Q_OBJECT

public:
    using SenderFactory = std::function<std::shared_ptr<EmailSender>()>;

    NimbrelApp(SenderFactory makeSender, ContentView::ScanPass scanPass, QObject *parent = nullptr);

    // Opens one more window; a window and its state end when it is closed.
    QQuickWindow *openWindow();

private slots:
    void openAnotherWindow();

private:
    SenderFactory m_makeSender;
    ContentView::ScanPass m_scanPass;
    QQmlEngine m_engine;
    QQmlComponent m_mainWindow{&m_engine};
};
