#include "VerificationWindow.h"

#include <QTest>
#include <QtQuickTest/quicktest.h>

namespace {

QQuickItem *findItem(QQuickItem *root, const QString &objectName)
{
    if (root->objectName() == objectName)
        return root;
    const auto children = root->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

} // namespace

VerificationWindow::VerificationWindow(QQmlEngine &engine)
{
    m_view = new ContentView(m_sender, [] { return QStringList(); });
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Nimbrel/qml/Main.qml")));
    if (component.isError())
        qFatal("%s", qPrintable(component.errorString()));
    QObject *root = component.createWithInitialProperties(
        {{QStringLiteral("view"), QVariant::fromValue(m_view)}});
    m_window = qobject_cast<QQuickWindow *>(root);
    if (!m_window)
        qFatal("Main.qml did not make a window: %s", qPrintable(component.errorString()));
    m_view->setParent(m_window);
    if (!QTest::qWaitForWindowExposed(m_window))
        qFatal("the window was never shown");
}

VerificationWindow::~VerificationWindow()
{
    delete m_window;
}

QQuickItem *VerificationWindow::item(const QString &objectName) const
{
    return findItem(m_window->contentItem(), objectName);
}

bool VerificationWindow::isShown(const QString &objectName) const
{
    const QQuickItem *found = item(objectName);
    return found && found->isVisible();
}

void VerificationWindow::settle()
{
    if (!QQuickTest::qWaitForPolish(m_window))
        qFatal("the window's layout never settled");
}

void VerificationWindow::click(const QString &objectName)
{
    settle();
    QQuickItem *target = item(objectName);
    if (!target)
        qFatal("no item %s", qPrintable(objectName));
    const QPoint centre =
        target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    QTest::mouseClick(m_window, Qt::LeftButton, {}, centre);
    settle();
}

void VerificationWindow::typeInto(const QString &objectName, const QString &text)
{
    click(objectName);
    type(text);
}

void VerificationWindow::type(const QString &text)
{
    for (const QChar c : text) {
        const Qt::Key key = c.isLetterOrNumber() && c.unicode() < 128
                                ? Qt::Key(c.toUpper().unicode())
                                : (c == u' ' ? Qt::Key_Space : Qt::Key_unknown);
        QTest::sendKeyEvent(QTest::Click, m_window, key, QString(c), Qt::NoModifier);
    }
    settle();
}

void VerificationWindow::sendCodeTo(const QString &address)
{
    typeInto(QStringLiteral("emailField"), address);
    const int before = m_sender->sent.size();
    click(QStringLiteral("sendButton"));
    if (m_sender->sent.size() != before + 1)
        qFatal("pressing send sent nothing");
    finishSend(before, true);
}

void VerificationWindow::finishSend(int index, bool success, std::optional<EmailError> error)
{
    m_sender->sent.at(index).completion(success, std::move(error));
    QCoreApplication::processEvents();
    settle();
}
