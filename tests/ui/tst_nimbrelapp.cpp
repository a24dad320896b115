#include "../monitoring/FakeEmailSender.h"
#include "NimbrelApp.h"

#include <QGuiApplication>
#include <QPointer>
#include <QQuickWindow>
#include <QTest>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

namespace {

ContentView *viewOf(QQuickWindow *window)
{
    return window->property("view").value<ContentView *>();
}

QList<QQuickWindow *> openWindows()
{
    QList<QQuickWindow *> result;
    const auto windows = QGuiApplication::topLevelWindows();
    for (QWindow *window : windows) {
        if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isVisible())
            result.append(quick);
    }
    return result;
}

} // namespace

// Windows as the application opens and closes them: each with its own state
// and e-mail service, Ctrl+N for another, the last one closing ends the run.
class TestNimbrelApp : public QObject
{
    Q_OBJECT

    QList<std::shared_ptr<FakeEmailSender>> m_senders;

private slots:
    void windowsAreIndependentAndCloseForGood()
    {
        NimbrelApp app(
            [this] {
                m_senders.append(std::make_shared<FakeEmailSender>());
                return m_senders.last();
            },
            [] { return QStringList(); });

        QQuickWindow *first = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        QCOMPARE(openWindows().size(), 1);
        viewOf(first)->setInterviewerEmail(QStringLiteral("first@example.com"));
        viewOf(first)->sendVerificationCode();

        QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
        const QList<QQuickWindow *> windows = openWindows();
        QCOMPARE(windows.size(), 2);
        QQuickWindow *second = windows.at(0) == first ? windows.at(1) : windows.at(0);
        QVERIFY(QTest::qWaitForWindowExposed(second));

        // A fresh window with its own state and its own service.
        QCOMPARE(m_senders.size(), 2);
        QVERIFY(viewOf(second) != viewOf(first));
        QVERIFY(viewOf(second)->interviewerEmail().isEmpty());
        QVERIFY(viewOf(second)->verificationCode().isEmpty());
        QCOMPARE(m_senders.at(0)->sent.size(), 1);
        QVERIFY(m_senders.at(1)->sent.isEmpty());

        // Closing discards the window with its state; the other keeps working.
        QPointer<QQuickWindow> closed = first;
        QPointer<ContentView> closedView = viewOf(first);
        first->close();
        QTRY_VERIFY(!closed);
        QVERIFY(!closedView);
        QCOMPARE(openWindows().size(), 1);
        m_senders.at(0)->sent.at(0).completion(true, std::nullopt);
        QCoreApplication::processEvents();
        QVERIFY(!viewOf(second)->emailSent());
        QVERIFY(viewOf(second)->emailStatus().isEmpty());

        // Closing the last window ends the event loop; a stuck one is cut off.
        QTimer::singleShot(0, second, &QWindow::close);
        QTimer::singleShot(10'000, qGuiApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QGuiApplication::exec(), 0);
        QVERIFY(openWindows().isEmpty());
    }
};

QTEST_MAIN(TestNimbrelApp)
#include "tst_nimbrelapp.moc"
