#pragma once

#include <QObject>
#include <QQmlComponent>
#include <QQmlEngine>

// The application: opens windows, each with its own ContentView, its own
// e-mail service and its own verification and monitoring.
class NimbrelApp : public QObject
{
    Q_OBJECT

public:
    explicit NimbrelApp(QObject *parent = nullptr);

public slots:
    // Opens one more window; a window's state ends when it is closed.
    void openWindow();

private:
    QQmlEngine m_engine;
    QQmlComponent m_mainWindow{&m_engine};
};
