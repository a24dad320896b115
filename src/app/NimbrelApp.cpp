#include "NimbrelApp.h"

#include "ContentView.h"
#include "ResendService.h"
#include "ScanPass.h"

#include <QQuickWindow>

#include <cstdlib>

NimbrelApp::NimbrelApp(QObject *parent) : QObject(parent)
{
    // The Nimbrel module is compiled in: its qmldir lies at qrc:/Nimbrel/.
    m_engine.addImportPath(QStringLiteral("qrc:/"));
    m_mainWindow.loadUrl(QUrl(QStringLiteral("qrc:/Nimbrel/qml/Main.qml")));
}

void NimbrelApp::openWindow()
{
    if (!m_mainWindow.isReady()) {
        // Only a broken build gets here: the window's QML is compiled in.
        qCritical().noquote() << m_mainWindow.errorString();
        std::exit(EXIT_FAILURE);
    }
    auto *view = new ContentView(std::make_shared<ResendService>(),
                                 [] { return scanForSuspiciousProcesses(); });
    QObject *object = m_mainWindow.createWithInitialProperties(
        {{QStringLiteral("view"), QVariant::fromValue(view)}});
    auto *window = qobject_cast<QQuickWindow *>(object);
    Q_ASSERT(window);
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    view->setParent(window);

    connect(window, SIGNAL(newWindowRequested()), this, SLOT(openWindow()));
    // Closing a window discards it with its state; the last one ends the program.
    connect(window, &QWindow::visibleChanged, window, [window](bool visible) {
        if (!visible)
            window->deleteLater();
    });
}
