// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "../monitoring/FakeEmailSender.h"
#include "NimbrelApp.h"
#include "VerificationFlow.h"

#include <QGuiApplication>
#include <QPointer>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

// Windows as the application opens and closes them: each with its own state
// and e-mail service, Ctrl+N for another. (The last one closing ends the run:
// tst_session_endings.)
class TestNimbrelApp : public QObject
{
    Q_OBJECT

private slots:
    void windowsAreIndependentAndCloseForGood()
    {
        QList<std::shared_ptr<FakeEmailSender>> senders;
        NimbrelApp app([&] { return senders.emplace_back(std::make_shared<FakeEmailSender>()); },
                       [] { return ScanResult(); });
        const auto viewOf = [](QWindow *window) {
            return window->property("verification").value<VerificationFlow *>();
        };

        QQuickWindow *first = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        viewOf(first)->setInterviewerEmail(QStringLiteral("first@example.com"));
        viewOf(first)->sendVerificationCode();
        QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(viewOf(first)->interviewerEmail(), QStringLiteral("first@example.com"));
        const QWindowList windows = QGuiApplication::topLevelWindows();
        QCOMPARE(windows.size(), 2);
        QWindow *second = windows.at(0) == first ? windows.at(1) : windows.at(0);
        QVERIFY(QTest::qWaitForWindowExposed(second));

        // A fresh window with its own state and its own service.
        QCOMPARE(senders.size(), 2);
        QVERIFY(viewOf(second)->interviewerEmail().isEmpty());
        QVERIFY(senders.at(1)->sent.isEmpty());

        // Closing discards the window with its state, and its late result is
        // dropped; the other keeps working.
        QPointer<VerificationFlow> closedView = viewOf(first);
        first->close();
        QTRY_VERIFY(!closedView);
        QCOMPARE(QGuiApplication::topLevelWindows(), QWindowList{second});
        senders.at(0)->sent.at(0).completion(true, std::nullopt);
        QCoreApplication::processEvents();
        QVERIFY(!viewOf(second)->emailSent());
        QVERIFY(viewOf(second)->emailStatus().isEmpty());
    }
};

QTEST_MAIN(TestNimbrelApp)
#include "tst_nimbrelapp.moc"
