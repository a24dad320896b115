// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "../monitoring/FakeEmailSender.h"
#include "MonitoringSession.h"
#include "VerificationEmail.h"
#include "VerificationFlow.h"

#include <QAccessible>
#include <QInputMethodEvent>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

using namespace Qt::StringLiterals;

namespace {

const QString kAddress = u"interviewer@example.com"_s;
const QString kSentTo = u"✓ Verification code sent to "_s + kAddress;
const QString kIncorrect = u"✗ Incorrect code. Try again."_s;

QString codeIn(const QString &html)
{
    return QRegularExpression(u"<strong>(\\d+)</strong>"_s).match(html).captured(1);
}

QRectF sceneRect(const QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

} // namespace

// The real application window (Main.qml) driven by mouse and keyboard, its
// e-mails going to a fake sender the test completes when it likes.
class TestVerificationWindow : public QObject
{
    Q_OBJECT

    QQmlEngine m_engine;
    QObject *m_theme = nullptr; // the Theme singleton, the engine's
    std::shared_ptr<FakeEmailSender> m_sender;
    QPointer<VerificationFlow> m_flow;
    QPointer<MonitoringSession> m_session;
    std::unique_ptr<QQuickWindow> m_window;

    void openWindow()
    {
        m_sender = std::make_shared<FakeEmailSender>();
        m_flow = new VerificationFlow(m_sender);
        m_session = new MonitoringSession(m_sender, [] { return ScanResult(); });
        QQmlComponent component(&m_engine, QUrl(u"qrc:/Nimbrel/qml/Main.qml"_s));
        m_window.reset(qobject_cast<QQuickWindow *>(component.createWithInitialProperties(
            {{u"verification"_s, QVariant::fromValue(m_flow.get())},
             {u"monitoring"_s, QVariant::fromValue(m_session.get())}})));
        QVERIFY2(m_window, qPrintable(component.errorString()));
        m_flow->setParent(m_window.get());
        m_session->setParent(m_window.get());
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    QColor theme(const char *colour) const { return m_theme->property(colour).value<QColor>(); }

    // The item by objectName within the items on screen now, or nullptr.
    QQuickItem *item(const char *name, QQuickItem *from = nullptr) const
    {
        from = from ? from : m_window->contentItem();
        if (from->objectName() == QLatin1String(name))
            return from;
        for (QQuickItem *child : from->childItems())
            if (QQuickItem *found = item(name, child))
                return found;
        return nullptr;
    }
    // The focus rings on screen now.
    QList<QQuickItem *> visibleRings(QQuickItem *from = nullptr) const
    {
        from = from ? from : m_window->contentItem();
        QList<QQuickItem *> rings;
        if (!from->isVisible())
            return rings;
        if (QByteArray(from->metaObject()->className()).startsWith("FocusRing"))
            rings << from;
        for (QQuickItem *child : from->childItems())
            rings << visibleRings(child);
        return rings;
    }
    bool shown(const char *name) const { return item(name) && item(name)->isVisible(); }
    QObject *loaded(const char *screen) const
    {
        return item(screen)->property("item").value<QObject *>();
    }

    void settle()
    {
        QCoreApplication::processEvents();
        QVERIFY(QQuickTest::qWaitForPolish(m_window.get()));
    }
    void click(const char *name)
    {
        settle();
        QVERIFY2(item(name), name);
        QTest::mouseClick(m_window.get(), Qt::LeftButton, {},
                          sceneRect(item(name)).center().toPoint());
        settle();
    }
    void key(Qt::Key key) { QTest::keyClick(m_window.get(), key); }
    // Replaces the field's text in one go, as a paste or an input method does.
    void enter(const char *field, const QString &text)
    {
        click(field);
        QTest::keyClick(m_window.get(), Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(item(field), &event);
        settle();
    }
    void finishSend(int index, bool success, std::optional<EmailError> error = std::nullopt)
    {
        m_sender->sent.at(index).completion(success, std::move(error));
        settle();
    }

    // The card as it must look at this stage: code entry in place of the send
    // button once the code went out, and the status line with its icon.
    void checkCard(bool codeEntry, const QString &status, bool checkIcon = false)
    {
        QCOMPARE(m_flow->emailStatus(), status);
        QCOMPARE(shown("sendButton"), !codeEntry);
        QCOMPARE(shown("codeGroup"), codeEntry);
        QCOMPARE(shown("verifyButton"), codeEntry);
        QCOMPARE(shown("statusLine"), !status.isEmpty());
        if (!status.isEmpty()) {
            QCOMPARE(item("statusIcon")->property("symbol").toString(),
                     checkIcon ? u"check_circle"_s : u"cancel"_s);
            QCOMPARE(item("statusIcon")->property("color").value<QColor>().rgba(),
                     theme(checkIcon ? "accentGreen" : "accentRed").rgba());
        }
    }

private slots:
    void initTestCase()
    {
        m_engine.addImportPath(u"qrc:/"_s);
        QQmlComponent theme(&m_engine);
        theme.setData("import QtQml\nimport Nimbrel\nQtObject { property QtObject theme: Theme }",
                      QUrl());
        const std::unique_ptr<QObject> holder(theme.create());
        QVERIFY2(holder, qPrintable(theme.errorString()));
        m_theme = holder->property("theme").value<QObject *>();
    }
    void init() { openWindow(); }
    void cleanup() { m_window.reset(); }

    // The first size is 640x760 shrunk to the screen's free area, less room for
    // a window manager's frame, never below the minimum. At the start only the
    // address and a send button show, disabled and grey exactly while the
    // address is the empty string. A click, or assistive technology's Press,
    // sends once, and not while disabled.
    void startsWithAddressEntryOnly()
    {
        const QSize room = m_window->screen()->availableSize() - QSize(48, 48);
        QCOMPARE(m_window->size(),
                 QSize(std::clamp(room.width(), 420, 640), std::clamp(room.height(), 490, 760)));
        checkCard(false, QString());
        QQuickItem *send = item("sendButton");
        QAccessibleActionInterface *press =
            QAccessible::queryAccessibleInterface(send)->actionInterface();
        for (const QString &address : {u""_s, u"a"_s, u""_s, u" "_s}) {
            enter("emailField", address);
            QCOMPARE(m_flow->interviewerEmail(), address);
            QCOMPARE(send->isEnabled(), !address.isEmpty());
            QCOMPARE(send->property("fillColor").value<QColor>(),
                     theme(address.isEmpty() ? "mediumGrey" : "primaryBlue"));
            const qsizetype before = m_sender->sent.size();
            click("sendButton");
            press->doAction(QAccessibleActionInterface::pressAction());
            QCOMPARE(m_sender->sent.size(), before + (address.isEmpty() ? 0 : 2));
        }
    }

    // The service may complete inside sendEmail; the outcome still waits for
    // the event loop. A code that went out opens code entry; a failure keeps
    // address entry, and trying again sends the code that is now current. The
    // icon is the first of check, cross that the text holds: a failure reason
    // holding a check mark shows the check.
    void sendOutcomeShowsOnTheCard_data()
    {
        QTest::addColumn<bool>("success");
        QTest::addColumn<std::optional<EmailError>>("error");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("checkIcon");
        const QString failed = u"✗ Failed to send email: "_s;
        QTest::newRow("sent") << true << std::optional<EmailError>() << kSentTo << true;
        QTest::newRow("reason") << false << std::optional(EmailError{u"Connection refused"_s})
                                << failed + u"Connection refused"_s << false;
        QTest::newRow("no reason")
            << false << std::optional<EmailError>() << failed + u"Unknown error"_s << false;
        QTest::newRow("check in the reason")
            << false << std::optional(EmailError{u"relay said ✓ but dropped it"_s})
            << failed + u"relay said ✓ but dropped it"_s << true;
    }
    void sendOutcomeShowsOnTheCard()
    {
        QFETCH(bool, success);
        QFETCH(std::optional<EmailError>, error);
        QFETCH(QString, message);
        QFETCH(bool, checkIcon);
        QString statusInsideSend = u"unset"_s;
        m_sender->onSend = [&](const EmailCompletion &completion) {
            if (m_sender->sent.size() > 1)
                return;
            completion(success, error);
            statusInsideSend = m_flow->emailStatus() + (m_flow->emailSent() ? "sent"_L1 : ""_L1);
        };
        enter("emailField", kAddress);
        click("sendButton");
        QCOMPARE(statusInsideSend, QString());

        const FakeEmailSender::Sent &mail = m_sender->sent.at(0);
        QCOMPARE(mail.subject, u"Nimbrel Verification Code"_s);
        const EmailBody body = VerificationEmail::body(m_flow->verificationCode());
        QCOMPARE(mail.html, body.html);
        QCOMPARE(mail.text, body.text);
        QTRY_COMPARE(m_flow->emailStatus(), message);
        checkCard(success, message, checkIcon);
        if (!success) {
            click("sendButton");
            QCOMPARE(codeIn(m_sender->sent.value(1).html), m_flow->verificationCode());
        }
    }

    // Two presses before any result: only the later code verifies, and only
    // its success opens code entry.
    void laterOfTwoSendsInFlightWins()
    {
        enter("emailField", kAddress);
        click("sendButton");
        click("sendButton");
        const QString earlier = codeIn(m_sender->sent.at(0).html);
        const QString later = codeIn(m_sender->sent.at(1).html);
        if (earlier == later)
            QSKIP("both presses drew the same code (one chance in 900000)");
        QCOMPARE(m_flow->verificationCode(), later);
        finishSend(0, true);
        checkCard(false, kSentTo, true);
        finishSend(1, true);
        checkCard(true, kSentTo, true);
        for (const QString &entered : {earlier, later}) {
            enter("codeField", entered);
            click("verifyButton");
            QCOMPARE(m_flow->isVerified(), entered == later);
        }
    }

    // A code proves only the address it went to, whatever the field holds by
    // the time the provider answers or the code is entered. Wrong input keeps
    // everything; the right code fades the verification screen out for good.
    void onlyTheRightCodeForItsAddressVerifies()
    {
        const QString other = u"someone.else@example.com"_s;
        enter("emailField", kAddress);
        click("sendButton");
        enter("emailField", other);
        finishSend(0, true);
        QCOMPARE(m_flow->emailStatus(), kSentTo);
        const QString code = m_flow->verificationCode();
        enter("codeField", code);
        click("verifyButton");
        QVERIFY(m_flow->emailStatus().startsWith(u"✗ "_s));
        QVERIFY(m_flow->emailStatus().contains(kAddress) && !m_flow->emailStatus().contains(other));

        enter("emailField", kAddress);
        const QString otherLast = code.left(5) + QChar(u'0' + (code.back().digitValue() + 1) % 10);
        for (const QString &wrong :
             {code + u' ', u'0' + code, otherLast, code.left(5), code + code, u"abcdef"_s}) {
            enter("codeField", wrong);
            click("verifyButton");
            checkCard(true, kIncorrect);
            QVERIFY(!m_flow->isVerified());
            QCOMPARE(m_flow->verificationCode(), code);
            QCOMPARE(item("codeField")->property("text").toString(), wrong);
        }

        QVERIFY(!loaded("dashboardScreen"));
        enter("codeField", code);
        click("verifyButton");
        QVERIFY(m_flow->isVerified());
        QCOMPARE(m_flow->emailStatus(), u"✓ Verification successful!"_s);
        // A fade, not a jump; the verification screen is destroyed once out of sight.
        QVERIFY(item("verificationScreen")->opacity() > 0 &&
                item("dashboardScreen")->opacity() < 1);
        QVERIFY(loaded("dashboardScreen"));
        QCOMPARE(loaded("dashboardScreen")->property("session").value<MonitoringSession *>(),
                 m_session);
        QTRY_VERIFY(!loaded("verificationScreen"));
        QTRY_COMPARE(item("dashboardScreen")->opacity(), 1.0);
        m_flow->verifyCode(); // later messages on the same state do not bring it back
        settle();
        QVERIFY(!loaded("verificationScreen"));
        QCOMPARE(item("verificationScreen")->opacity(), 0.0);
    }

    // Focus starts in the address field and moves to the code field after the
    // send; Return or Enter in a field presses the form's default button, Tab
    // and Space reach the buttons themselves. Exactly one focus ring shows at
    // every step, around whatever holds the keyboard focus, however it came.
    void worksFromTheKeyboard_data()
    {
        QTest::addColumn<Qt::Key>("confirm");
        QTest::newRow("Return") << Qt::Key_Return;
        QTest::newRow("keypad Enter") << Qt::Key_Enter;
    }
    void worksFromTheKeyboard()
    {
        QFETCH(Qt::Key, confirm);
        const auto checkRing = [this](const char *focused) {
            settle();
            QQuickItem *control = item(focused);
            QVERIFY2(control && control->hasActiveFocus(), focused);
            const QList<QQuickItem *> rings = visibleRings();
            QCOMPARE(rings.size(), 1);
            QVERIFY2(sceneRect(rings.at(0)).contains(sceneRect(control)), focused);
            QVERIFY2(sceneRect(rings.at(0)) != sceneRect(control), "the ring lies outside");
        };
        checkRing("emailField");
        key(confirm); // nothing to send yet
        QVERIFY(m_sender->sent.isEmpty());
        QTest::keyClick(m_window.get(), 'a');
        key(confirm);
        QCOMPARE(m_sender->sent.size(), 1);
        QCOMPARE(m_sender->sent.at(0).to, u"a"_s);
        checkRing("emailField"); // nothing to go on to before the result
        key(Qt::Key_Tab);
        checkRing("sendButton");
        key(Qt::Key_Space);
        QCOMPARE(m_sender->sent.size(), 2);
        finishSend(1, true);

        checkRing("codeField");
        key(confirm); // an empty code is simply wrong
        QCOMPARE(m_flow->emailStatus(), kIncorrect);
        click("emailField");
        checkRing("emailField");
        key(confirm); // the address is done with: on to the code
        checkRing("codeField");
        QCOMPARE(m_sender->sent.size(), 2);
        for (const char digit : m_flow->verificationCode().toLatin1())
            QTest::keyClick(m_window.get(), digit);
        key(Qt::Key_Tab);
        checkRing("verifyButton");
        key(Qt::Key_Space);
        QVERIFY(m_flow->isVerified());
    }

    // At the minimum size the card outgrows the window once the code is out:
    // the screen scrolls, and brings each new message into sight with the
    // focused field.
    void shortWindowShowsTheNewestMessage()
    {
        m_window->resize(m_window->minimumSize());
        QCOMPARE(m_window->size(), QSize(420, 490));
        enter("emailField", u"firstname.lastname-with-hyphens@sub-domain.example-company.co.uk"_s);
        key(Qt::Key_Return);
        finishSend(0, true);
        QQuickItem *scroller = item("verificationScroller");
        QVERIFY(scroller->property("contentHeight").toReal() > m_window->height());
        const QRectF window(QPointF(0, 0), m_window->size());
        const auto inSight = [&](const char *name) {
            return window.contains(sceneRect(item(name)));
        };
        QTRY_VERIFY(inSight("statusLine") && inSight("codeField"));
        // The address shows whole or cut in its middle, on at most two lines;
        // pointing at a cut message shows it whole.
        QCOMPARE(item("statusText")->property("lineCount").toInt(), 2);
        QVERIFY(item("statusText")->property("text").toString().contains(u'…'));
        QObject *toolTip = item("statusLine")->findChild<QObject *>(u"statusToolTip"_s);
        QVERIFY(!toolTip->property("visible").toBool());
        QTest::mouseMove(m_window.get(), sceneRect(item("statusLine")).center().toPoint());
        QTRY_VERIFY(toolTip->property("visible").toBool());
        QCOMPARE(toolTip->property("text").toString(), m_flow->emailStatus());
        for (const char *wrong : {"1", "22"}) {
            QTest::keyClick(m_window.get(), wrong[0]);
            key(Qt::Key_Return);
            QTRY_VERIFY(inSight("statusLine") && inSight("codeField"));
        }
    }

    // Any text of any length goes in and out verbatim without moving the layout.
    void hostileTextStaysInsideTheCard()
    {
        const QString address = u"ab😀שלום\u202E\u0007x "_s.repeated(400);
        const QRectF field = sceneRect(item("emailField"));
        const QSize size = m_window->size();
        enter("emailField", address);
        QCOMPARE(sceneRect(item("emailField")), field);
        click("sendButton");
        QCOMPARE(m_sender->sent.at(0).to, address);
        finishSend(0, true);
        QCOMPARE(m_window->size(), size);
        const QRectF card = sceneRect(item("emailGroup")), line = sceneRect(item("statusLine"));
        QVERIFY(line.left() >= card.left() && line.right() <= card.right());
        QVERIFY(line.height() < 150);
        // Left for the code field, the address shows from its first glyph whole
        // (not scrolled: the glyph at the content edge).
        QQuickItem *email = item("emailField");
        QRectF first;
        QMetaObject::invokeMethod(email, "positionToRectangle", Q_RETURN_ARG(QRectF, first),
                                  Q_ARG(int, 0));
        QCOMPARE(first.x(), 0);

        const QString code = QString(20000, u'7') + u"<b>x</b>"_s;
        enter("codeField", code);
        QCOMPARE(m_flow->userInputCode(), code);
        QCOMPARE(sceneRect(item("codeField")).width(), field.width());
        click("verifyButton");
        QCOMPARE(m_flow->emailStatus(), kIncorrect);
    }
};

QTEST_MAIN(TestVerificationWindow)
#include "tst_verificationwindow.moc"
