#include "NimbrelApp.h"

#include <QQuickWindow>

#include <cstdlib>

NimbrelApp::NimbrelApp(SenderFactory makeSender, ContentView::ScanPass scanPass, QObject *parent)
    : QObject(parent), m_makeSender(std::move(makeSender)), m_scanPass(std::move(scanPass))
{
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
    auto *view = new ContentView(m_makeSender(), m_scanPass);
    QObject *object = m_mainWindow.createWithInitialProperties(
        {{QStringLiteral("view"), QVariant::fromValue(view)}});
    auto *window = qobject_cast<QQuickWindow *>(object);
    Q_ASSERT(window);
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    view->setParent(window);

    connect(window, SIGNAL(newWindowRequested()), this, SLOT(openAnotherWindow()));
    // Closing a window discards it with its state; the last one ends the program.
    connect(window, &QWindow::visibleChanged, window, [window](bool visible) {
        if (!visible)
            window->deleteLater();
    });
    return window;
}

void NimbrelApp::openAnotherWindow()
{
    openWindow();
}
