// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NimbrelApp.h"

#include "SessionReportFile.h"
#include "VerificationFlow.h"

#include <QDir>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

#include <cstdlib>

NimbrelApp::NimbrelApp(SenderFactory makeSender, MonitoringSession::ScanPass scanPass,
                       MonitoringOptions monitoring, QObject *parent)
    : QObject(parent), m_makeSender(std::move(makeSender)), m_scanPass(std::move(scanPass)),
      m_monitoring(std::move(monitoring))
{
    // A closed window lives on, hidden, until its stop notice is out: the last
    // one closing must not end the event loop under it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // The Nimbrel module is compiled in: its qmldir lies at qrc:/Nimbrel/.
    m_engine.addImportPath(QStringLiteral("qrc:/"));
    m_mainWindow.loadUrl(QUrl(QStringLiteral("qrc:/Nimbrel/qml/Main.qml")));
}

QQuickWindow *NimbrelApp::openWindow()
{
    if (!m_mainWindow.isReady()) {
        // Only a broken build gets here: the window's QML is compiled in.
        qCritical().noquote() << m_mainWindow.errorString();
        std::exit(EXIT_FAILURE);
    }
    const std::shared_ptr<EmailSender> sender = m_makeSender();
    auto *verification = new VerificationFlow(sender);
    auto *monitoring = new MonitoringSession(sender, m_scanPass, m_monitoring);
    // The run's context as it starts, for its start notice; the same pass's
    // as every tick's, so the first tick sees no change.
    monitoring->setContextProbe([scan = m_scanPass] { return scan().context; });
    monitoring->setProcessWatch([] {
        return std::make_unique<ProcessWatch>(
            ProcessWatch::Options{.homeFolder = QDir::homePath()});
    });
    if (!m_sessionReportFile.isEmpty())
        connect(monitoring, &MonitoringSession::sessionRecordChanged, monitoring,
                [monitoring, path = m_sessionReportFile] {
                    writeSessionReport(path, monitoring->sessionRecord());
                });
    // Notices go to the address the code proved, and nowhere before that.
    connect(verification, &VerificationFlow::isVerifiedChanged, monitoring,
            [verification, monitoring] {
                monitoring->setInterviewerEmail(verification->verificationAddress());
            });
    QObject *object = m_mainWindow.createWithInitialProperties(
        {{QStringLiteral("verification"), QVariant::fromValue(verification)},
         {QStringLiteral("monitoring"), QVariant::fromValue(monitoring)}});
    auto *window = qobject_cast<QQuickWindow *>(object);
    Q_ASSERT(window);
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    verification->setParent(window);
    monitoring->setParent(window);
    m_windows.append(window);

    connect(window, SIGNAL(newWindowRequested()), this, SLOT(openAnotherWindow()));
    connect(window, SIGNAL(quitRequested()), this, SLOT(quit()));
    // However a window is closed (its close button, the window manager, quit), it ends here.
    connect(window, &QWindow::visibleChanged, this, [this, window](bool visible) {
        if (!visible)
            endWindow(window);
    });
    connect(window, &QObject::destroyed, this, [this](QObject *gone) {
        m_windows.removeIf([gone](const QPointer<QQuickWindow> &w) { return !w || w == gone; });
        if (m_windows.isEmpty())
            QCoreApplication::quit();
    });
    return window;
}

void NimbrelApp::quit()
{
    if (m_windows.isEmpty())
        QCoreApplication::quit();
    for (const QPointer<QQuickWindow> &window : std::as_const(m_windows)) {
        if (window && window->isVisible())
            window->close();
    }
}

void NimbrelApp::openAnotherWindow()
{
    openWindow();
}

void NimbrelApp::endWindow(QQuickWindow *window)
{
    auto *monitoring = window->property("monitoring").value<MonitoringSession *>();
    if (window->property("ending").toBool())
        return; // a second close sends nothing
    window->setProperty("ending", true);
    monitoring->finishSession();
    if (monitoring->noticesInFlight() == 0) {
        window->deleteLater();
        return;
    }
    // Whichever comes first: the last e-mail's outcome or the end of the ending time.
    // Precise: a coarse timer of this length may fire up to 250 ms early and
    // drop a notice the provider was about to accept.
    connect(monitoring, &MonitoringSession::noticesSettled, window, &QObject::deleteLater);
    QTimer::singleShot(endingTime, Qt::PreciseTimer, window, &QObject::deleteLater);
}
