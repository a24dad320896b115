#include "VerificationWindow.h"

#include <QAccessible>
#include <QInputMethodEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

namespace {

const QString kAddress = QStringLiteral("interviewer@example.com");

QString codeIn(const QString &html)
{
    return QRegularExpression(QStringLiteral("<strong>(\\d+)</strong>")).match(html).captured(1);
}

QString accessibleName(QQuickItem *item)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(item);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QRectF sceneRect(const QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

} // namespace

class TestVerificationWindow : public QObject
{
    Q_OBJECT

    QQmlEngine m_engine;
    std::unique_ptr<VerificationWindow> m_w;

    QString status() const { return m_w->view().emailStatus(); }

    void replaceText(const QString &field, const QString &text)
    {
        m_w->click(field);
        QTest::keyClick(&m_w->window(), Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(&m_w->window(), Qt::Key_Delete);
        else
            m_w->type(text);
    }

    // Pastes the text into the field in one go, as an input method commits it.
    void commitText(const QString &field, const QString &text)
    {
        m_w->click(field);
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(m_w->item(field), &event);
        m_w->settle();
    }

    void checkStatusIcon(const QString &symbol, const QColor &tint)
    {
        QVERIFY(m_w->isShown(QStringLiteral("statusLine")));
        QQuickItem *icon = m_w->item(QStringLiteral("statusIcon"));
        QCOMPARE(icon->property("symbol").toString(), symbol);
        QCOMPARE(icon->property("color").value<QColor>().rgba(), tint.rgba());
    }

private slots:
    void initTestCase() { m_engine.addImportPath(QStringLiteral("qrc:/")); }
    void init() { m_w = std::make_unique<VerificationWindow>(m_engine); }
    void cleanup() { m_w.reset(); }

    void freshWindowStartsUnverifiedAndIdle()
    {
        ContentView &view = m_w->view();
        QVERIFY(!view.isVerified());
        QVERIFY(!view.emailSent());
        QVERIFY(view.interviewerEmail().isEmpty());
        QVERIFY(view.verificationCode().isEmpty());
        QVERIFY(view.userInputCode().isEmpty());
        QVERIFY(view.emailStatus().isEmpty());
        QCOMPARE(view.scanStatus(), QStringLiteral("Idle"));
        QVERIFY(!view.isMonitoring());
        QVERIFY(!view.hasScanTimer());
        QCOMPARE(view.animationScale(), 1.0);
        QCOMPARE(view.detectedProcesses()->count(), 0);

        const QList<std::pair<QColor, std::array<float, 3>>> palette = {
            {view.primaryBlue(), {0.2f, 0.4f, 0.8f}}, {view.lightBlue(), {0.4f, 0.6f, 0.9f}},
            {view.darkGrey(), {0.15f, 0.15f, 0.2f}},  {view.mediumGrey(), {0.25f, 0.25f, 0.3f}},
            {view.lightGrey(), {0.9f, 0.9f, 0.95f}},  {view.accentRed(), {0.9f, 0.3f, 0.3f}},
            {view.accentGreen(), {0.3f, 0.8f, 0.4f}},
        };
        for (const auto &[colour, rgb] : palette) {
            QCOMPARE(colour.spec(), QColor::Rgb);
            QVERIFY(qAbs(colour.redF() - rgb[0]) < 1e-4);
            QVERIFY(qAbs(colour.greenF() - rgb[1]) < 1e-4);
            QVERIFY(qAbs(colour.blueF() - rgb[2]) < 1e-4);
            QCOMPARE(colour.alphaF(), 1.0f);
        }

        QCOMPARE(m_w->window().title(), QStringLiteral("Nimbrel"));
        QVERIFY(m_w->isShown(QStringLiteral("emailGroup")));
        QVERIFY(m_w->isShown(QStringLiteral("sendButton")));
        QVERIFY(!m_w->isShown(QStringLiteral("codeGroup")));
        QVERIFY(!m_w->isShown(QStringLiteral("verifyButton")));
        QVERIFY(!m_w->isShown(QStringLiteral("statusLine")));
        QVERIFY(!m_w->item(QStringLiteral("dashboardScreen"))->property("item").value<QObject *>());
    }

    // Disabled and grey exactly while the address is the empty string.
    void sendButtonFollowsTheAddress()
    {
        QQuickItem *send = m_w->item(QStringLiteral("sendButton"));
        const ContentView &view = m_w->view();

        m_w->click(QStringLiteral("sendButton"));
        QVERIFY(m_w->sender().sent.isEmpty());
        QVERIFY(!send->isEnabled());
        QCOMPARE(send->property("fillColor").value<QColor>(), view.mediumGrey());

        m_w->typeInto(QStringLiteral("emailField"), QStringLiteral("a"));
        QCOMPARE(view.interviewerEmail(), QStringLiteral("a"));
        QVERIFY(send->isEnabled());
        QCOMPARE(send->property("fillColor").value<QColor>(), view.primaryBlue());

        QTest::keyClick(&m_w->window(), Qt::Key_Backspace);
        QVERIFY(view.interviewerEmail().isEmpty());
        QVERIFY(!send->isEnabled());
        QCOMPARE(send->property("fillColor").value<QColor>(), view.mediumGrey());
        m_w->click(QStringLiteral("sendButton"));
        QVERIFY(m_w->sender().sent.isEmpty());

        // Only the empty string disables it: blanks are an address to the card.
        m_w->type(QStringLiteral(" "));
        QVERIFY(send->isEnabled());
        m_w->click(QStringLiteral("sendButton"));
        QCOMPARE(m_w->sender().sent.size(), 1);
        QCOMPARE(m_w->sender().sent.at(0).to, QStringLiteral(" "));
    }

    void sendingMailsTheCodeAndShowsCodeEntry()
    {
        ContentView &view = m_w->view();
        // The service may complete inside sendEmail; the result must still wait.
        QString statusInsideSend = QStringLiteral("unset");
        bool sentInsideSend = true;
        m_w->sender().onSend = [&](const EmailCompletion &completion) {
            completion(true, std::nullopt);
            statusInsideSend = view.emailStatus();
            sentInsideSend = view.emailSent();
        };

        m_w->typeInto(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("sendButton"));
        QCOMPARE(statusInsideSend, QString());
        QVERIFY(!sentInsideSend);

        QCOMPARE(m_w->sender().sent.size(), 1);
        const FakeEmailSender::Sent &mail = m_w->sender().sent.at(0);
        QCOMPARE(mail.to, kAddress);
        QCOMPARE(mail.subject, QStringLiteral("Nimbrel Verification Code"));
        QVERIFY(!mail.text.has_value());
        const QString code = view.verificationCode();
        QVERIFY(QRegularExpression(QStringLiteral("^[1-9]\\d{5}$")).match(code).hasMatch());
        QCOMPARE(mail.html,
                 QStringLiteral("<p>Your <strong>Nimbrel</strong> verification code is: <strong>") +
                     code +
                     QStringLiteral("</strong></p>\n<p>If you didn't request this, ignore this "
                                    "email.</p>"));

        QTRY_VERIFY(view.emailSent());
        QCOMPARE(status(), QStringLiteral("✓ Verification code sent to ") + kAddress);
        QVERIFY(!m_w->isShown(QStringLiteral("sendButton")));
        QVERIFY(m_w->isShown(QStringLiteral("codeGroup")));
        QVERIFY(m_w->isShown(QStringLiteral("verifyButton")));
        checkStatusIcon(QStringLiteral("check_circle"), view.accentGreen());

        // Address, code and verify button stacked 20 apart; the status line
        // centred below them, only as wide as its text.
        const QRectF email = sceneRect(m_w->item(QStringLiteral("emailGroup")));
        const QRectF codeGroup = sceneRect(m_w->item(QStringLiteral("codeGroup")));
        const QRectF verify = sceneRect(m_w->item(QStringLiteral("verifyButton")));
        const QRectF line = sceneRect(m_w->item(QStringLiteral("statusLine")));
        QCOMPARE(codeGroup.top() - email.bottom(), 20.0);
        QCOMPARE(verify.top() - codeGroup.bottom(), 20.0);
        QCOMPARE(line.top() - verify.bottom(), 20.0);
        QCOMPARE(verify.width(), email.width());
        QVERIFY(line.width() < email.width());
        QVERIFY(qAbs(line.center().x() - email.center().x()) < 1.0);
    }

    void failedSendKeepsAddressEntry_data()
    {
        QTest::addColumn<std::optional<EmailError>>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("with a reason")
            << std::optional<EmailError>(EmailError{QStringLiteral("Connection refused")})
            << QStringLiteral("✗ Failed to send email: Connection refused");
        QTest::newRow("without a reason")
            << std::optional<EmailError>()
            << QStringLiteral("✗ Failed to send email: Unknown error");
    }
    void failedSendKeepsAddressEntry()
    {
        QFETCH(std::optional<EmailError>, error);
        QFETCH(QString, message);

        m_w->typeInto(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("sendButton"));
        const QString firstCode = m_w->view().verificationCode();
        m_w->finishSend(0, false, error);

        QCOMPARE(status(), message);
        QVERIFY(!m_w->view().emailSent());
        QCOMPARE(m_w->view().verificationCode(), firstCode);
        QVERIFY(m_w->isShown(QStringLiteral("sendButton")));
        QVERIFY(!m_w->isShown(QStringLiteral("codeGroup")));
        QVERIFY(!m_w->isShown(QStringLiteral("verifyButton")));
        checkStatusIcon(QStringLiteral("cancel"), m_w->view().accentRed());

        // Trying again makes and sends a fresh code.
        m_w->click(QStringLiteral("sendButton"));
        QCOMPARE(m_w->sender().sent.size(), 2);
        QCOMPARE(codeIn(m_w->sender().sent.at(1).html), m_w->view().verificationCode());
    }

    // A failure text that also holds a check mark shows the check: first match wins.
    void checkMarkWinsOverCross()
    {
        m_w->typeInto(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("sendButton"));
        m_w->finishSend(0, false, EmailError{QStringLiteral("relay said ✓ but dropped it")});
        QVERIFY(status().startsWith(QStringLiteral("✗ ")));
        checkStatusIcon(QStringLiteral("check_circle"), m_w->view().accentGreen());
    }

    void wrongCodeKeepsEverything()
    {
        m_w->sendCodeTo(kAddress);
        ContentView &view = m_w->view();
        const QString code = view.verificationCode();
        const QString otherLastDigit =
            code.left(5) + QChar(u'0' + (code.back().digitValue() + 1) % 10);
        const QStringList wrongCodes = {code + u' ',  u'0' + code, otherLastDigit,
                                        code.left(5), code + code, QStringLiteral("abcdef")};

        for (const QString &wrong : wrongCodes) {
            replaceText(QStringLiteral("codeField"), wrong);
            m_w->click(QStringLiteral("verifyButton"));
            QCOMPARE(status(), QStringLiteral("✗ Incorrect code. Try again."));
            QVERIFY(!view.isVerified());
            QVERIFY(view.emailSent());
            QCOMPARE(view.verificationCode(), code);
            QCOMPARE(view.userInputCode(), wrong);
            QCOMPARE(m_w->item(QStringLiteral("codeField"))->property("text").toString(), wrong);
            QVERIFY(m_w->isShown(QStringLiteral("verifyButton")));
            checkStatusIcon(QStringLiteral("cancel"), view.accentRed());
        }

        replaceText(QStringLiteral("codeField"), code);
        m_w->click(QStringLiteral("verifyButton"));
        QVERIFY(view.isVerified());
        QCOMPARE(status(), QStringLiteral("✓ Verification successful!"));
    }

    // Two presses before the first result: two e-mails, only the later code
    // verifies, and each result writes its message in turn. Only the later
    // send's success opens code entry, so when it fails the user can send again.
    void laterOfTwoSendsInFlightWins()
    {
        m_w->typeInto(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("sendButton"));
        m_w->click(QStringLiteral("sendButton"));
        QCOMPARE(m_w->sender().sent.size(), 2);
        const QString first = codeIn(m_w->sender().sent.at(0).html);
        const QString second = codeIn(m_w->sender().sent.at(1).html);
        if (first == second)
            QSKIP("both presses drew the same code (one chance in 900000)");
        QCOMPARE(m_w->view().verificationCode(), second);

        m_w->finishSend(0, true);
        QCOMPARE(status(), QStringLiteral("✓ Verification code sent to ") + kAddress);
        QVERIFY(!m_w->view().emailSent());
        QVERIFY(m_w->isShown(QStringLiteral("sendButton")));
        m_w->finishSend(1, false, EmailError{QStringLiteral("Rate limited")});
        QCOMPARE(status(), QStringLiteral("✗ Failed to send email: Rate limited"));
        QVERIFY(!m_w->view().emailSent());
        QVERIFY(m_w->isShown(QStringLiteral("sendButton")));

        // Once more, and this time both presses get through.
        m_w->click(QStringLiteral("sendButton"));
        m_w->click(QStringLiteral("sendButton"));
        const QString third = codeIn(m_w->sender().sent.at(2).html);
        const QString fourth = codeIn(m_w->sender().sent.at(3).html);
        if (third == fourth)
            QSKIP("both presses drew the same code (one chance in 900000)");
        m_w->finishSend(3, true);
        QVERIFY(m_w->view().emailSent());
        m_w->finishSend(2, true); // late, and for a replaced code: changes nothing
        QVERIFY(m_w->view().emailSent());
        QCOMPARE(status(), QStringLiteral("✓ Verification code sent to ") + kAddress);

        replaceText(QStringLiteral("codeField"), third);
        m_w->click(QStringLiteral("verifyButton"));
        QVERIFY(!m_w->view().isVerified());
        replaceText(QStringLiteral("codeField"), fourth);
        m_w->click(QStringLiteral("verifyButton"));
        QVERIFY(m_w->view().isVerified());
    }

    // A code proves only the address it went to: with another address in the
    // field the right code does not verify, and notices could never go there.
    void codeVerifiesOnlyItsOwnAddress()
    {
        const QString other = QStringLiteral("someone.else@example.com");
        m_w->sendCodeTo(kAddress);
        const QString code = m_w->view().verificationCode();

        replaceText(QStringLiteral("emailField"), other);
        replaceText(QStringLiteral("codeField"), code);
        m_w->click(QStringLiteral("verifyButton"));
        QVERIFY(!m_w->view().isVerified());
        QVERIFY(status().startsWith(QStringLiteral("✗ ")));
        QVERIFY(status().contains(kAddress));
        QVERIFY(!status().contains(other));
        QCOMPARE(m_w->view().verificationCode(), code);

        replaceText(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("verifyButton"));
        QVERIFY(m_w->view().isVerified());
        QCOMPARE(m_w->view().interviewerEmail(), kAddress);
    }

    // The success message names where the code went, not what the field holds
    // by the time the provider answers.
    void sentMessageNamesTheAddressTheCodeWentTo()
    {
        m_w->typeInto(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("sendButton"));
        replaceText(QStringLiteral("emailField"), QStringLiteral("typo@example.com"));
        m_w->finishSend(0, true);
        QCOMPARE(status(), QStringLiteral("✓ Verification code sent to ") + kAddress);
    }

    void verificationFadesOutForGood()
    {
        m_w->sendCodeTo(kAddress);
        replaceText(QStringLiteral("codeField"), m_w->view().verificationCode());
        QQuickItem *verification = m_w->item(QStringLiteral("verificationScreen"));
        QQuickItem *dashboard = m_w->item(QStringLiteral("dashboardScreen"));
        m_w->click(QStringLiteral("verifyButton"));

        QVERIFY(m_w->view().isVerified());
        // A fade, not a jump: both screens are still part-way.
        QVERIFY(verification->opacity() > 0.0);
        QVERIFY(dashboard->opacity() < 1.0);
        QVERIFY(dashboard->property("item").value<QObject *>());

        QTRY_VERIFY(!verification->property("item").value<QObject *>());
        QTRY_COMPARE(dashboard->opacity(), 1.0);
        QVERIFY(!m_w->item(QStringLiteral("emailField")));
        QVERIFY(!m_w->item(QStringLiteral("sendButton")));

        // Later state changes (a notice's message) do not bring it back.
        m_w->view().verifyCode();
        QCoreApplication::processEvents();
        QVERIFY(!verification->property("item").value<QObject *>());
        QCOMPARE(verification->opacity(), 0.0);
    }

    // The address field has the focus from the start; after the send the code
    // field takes it over; Tab, Space and Return do the rest.
    void worksFromTheKeyboard()
    {
        FakeEmailSender &sender = m_w->sender();
        QQuickWindow *window = &m_w->window();
        QVERIFY(m_w->item(QStringLiteral("emailField"))->hasActiveFocus());
        m_w->type(kAddress);
        QCOMPARE(m_w->view().interviewerEmail(), kAddress);
        QTest::keyClick(window, Qt::Key_Return); // Return in a field does nothing
        QVERIFY(sender.sent.isEmpty());

        QTest::keyClick(window, Qt::Key_Tab);
        QVERIFY(m_w->item(QStringLiteral("sendButton"))->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_Space);
        QCOMPARE(sender.sent.size(), 1);
        m_w->finishSend(0, true);

        QVERIFY(m_w->item(QStringLiteral("codeField"))->hasActiveFocus());
        m_w->type(m_w->view().verificationCode());
        QTest::keyClick(window, Qt::Key_Enter);
        QVERIFY(!m_w->view().isVerified());
        QVERIFY(status().startsWith(QStringLiteral("✓ Verification code sent")));

        QTest::keyClick(window, Qt::Key_Tab);
        QVERIFY(m_w->item(QStringLiteral("verifyButton"))->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_Tab, Qt::ShiftModifier);
        QVERIFY(m_w->item(QStringLiteral("codeField"))->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_Tab, Qt::ShiftModifier);
        QVERIFY(m_w->item(QStringLiteral("emailField"))->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_Tab);
        QTest::keyClick(window, Qt::Key_Tab);
        QVERIFY(m_w->item(QStringLiteral("verifyButton"))->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_Return);
        QVERIFY(m_w->view().isVerified());
    }

    void controlsHaveAccessibleNames()
    {
        QCOMPARE(accessibleName(m_w->item(QStringLiteral("emailField"))),
                 QStringLiteral("Interviewer Email"));
        QCOMPARE(accessibleName(m_w->item(QStringLiteral("sendButton"))),
                 QStringLiteral("Send Verification Code"));
        m_w->sendCodeTo(kAddress);
        QCOMPARE(accessibleName(m_w->item(QStringLiteral("codeField"))),
                 QStringLiteral("Verification Code"));
        QCOMPARE(accessibleName(m_w->item(QStringLiteral("verifyButton"))),
                 QStringLiteral("Verify Code"));
        QCOMPARE(accessibleName(m_w->item(QStringLiteral("statusLine"))), status());
    }

    // Held down, a button's label shrinks to 95 % about its centre; its place
    // in the layout and its neighbours stay put. A disabled one stays full size.
    void pressShrinksTheLabelOnly()
    {
        QQuickWindow *window = &m_w->window();
        QQuickItem *send = m_w->item(QStringLiteral("sendButton"));
        QQuickItem *sendLabel = send->property("contentItem").value<QQuickItem *>();
        const QPoint sendCentre = sceneRect(send).center().toPoint();
        QTest::mousePress(window, Qt::LeftButton, {}, sendCentre);
        QTest::qWait(200);
        QCOMPARE(sendLabel->scale(), 1.0);
        QTest::mouseRelease(window, Qt::LeftButton, {}, sendCentre);

        m_w->sendCodeTo(kAddress);
        QQuickItem *verify = m_w->item(QStringLiteral("verifyButton"));
        QQuickItem *label = verify->property("contentItem").value<QQuickItem *>();
        const QRectF verifyBefore = sceneRect(verify);
        const QRectF codeBefore = sceneRect(m_w->item(QStringLiteral("codeGroup")));
        const QRectF lineBefore = sceneRect(m_w->item(QStringLiteral("statusLine")));
        const QPoint centre = verifyBefore.center().toPoint();

        QTest::mousePress(window, Qt::LeftButton, {}, centre);
        QTRY_COMPARE(label->scale(), 0.95);
        QCOMPARE(label->transformOrigin(), QQuickItem::Center);
        QCOMPARE(sceneRect(verify), verifyBefore);
        QCOMPARE(sceneRect(m_w->item(QStringLiteral("codeGroup"))), codeBefore);
        QCOMPARE(sceneRect(m_w->item(QStringLiteral("statusLine"))), lineBefore);
        QTest::mouseRelease(window, Qt::LeftButton, {}, centre);
        QTRY_COMPARE(label->scale(), 1.0);
    }

    // Any text of any length goes in verbatim without moving the layout.
    void hostileTextStaysInsideTheCard()
    {
        QString address;
        for (int i = 0; i < 400; ++i)
            address += QStringLiteral("ab😀שלום\u202E\u0007x ");
        const QRectF emailBefore = sceneRect(m_w->item(QStringLiteral("emailField")));
        const QSize windowBefore = m_w->window().size();

        commitText(QStringLiteral("emailField"), address);
        QCOMPARE(m_w->view().interviewerEmail(), address);
        QCOMPARE(sceneRect(m_w->item(QStringLiteral("emailField"))), emailBefore);
        QCOMPARE(m_w->window().size(), windowBefore);

        m_w->click(QStringLiteral("sendButton"));
        QCOMPARE(m_w->sender().sent.at(0).to, address);
        m_w->finishSend(0, true);

        const QRectF card = sceneRect(m_w->item(QStringLiteral("emailGroup")));
        const QRectF line = sceneRect(m_w->item(QStringLiteral("statusLine")));
        QVERIFY(line.left() >= card.left() && line.right() <= card.right());
        QVERIFY2(line.height() < 150, qPrintable(QString::number(line.height())));

        const QString longCode = QString(20000, u'7') + QStringLiteral("<b>x</b>");
        commitText(QStringLiteral("codeField"), longCode);
        QCOMPARE(m_w->view().userInputCode(), longCode);
        QCOMPARE(sceneRect(m_w->item(QStringLiteral("codeField"))).width(), emailBefore.width());
        m_w->click(QStringLiteral("verifyButton"));
        QCOMPARE(status(), QStringLiteral("✗ Incorrect code. Try again."));
    }

    // At any size the card keeps 30 from the window's sides (plus its own 30
    // inside) and header and card sit as one block in the vertical middle.
    void resizingKeepsTheBlockCentred_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("roomy") << QSize(1000, 1100);
        QTest::newRow("narrow and short") << QSize(100, 100);
    }
    void resizingKeepsTheBlockCentred()
    {
        QFETCH(QSize, size);
        m_w->sendCodeTo(kAddress);
        QQuickWindow &window = m_w->window();
        window.resize(size.expandedTo(window.minimumSize()));
        QTRY_COMPARE(window.size(), size.expandedTo(window.minimumSize()));
        QQuickItem *emailGroup = m_w->item(QStringLiteral("emailGroup"));
        QTRY_COMPARE(window.width() - sceneRect(emailGroup).right(), 60.0);
        // Narrower means more lines of text and a taller minimum: honour it as a
        // window manager would.
        window.resize(window.size().expandedTo(window.minimumSize()));
        m_w->settle();
        QTRY_COMPARE(window.size(), window.size().expandedTo(window.minimumSize()));
        m_w->settle();

        const QRectF email = sceneRect(emailGroup);
        const QRectF line = sceneRect(m_w->item(QStringLiteral("statusLine")));
        QCOMPARE(email.left(), 60.0);
        QVERIFY(line.bottom() + 30 <= window.height());

        QQuickItem *content = m_w->item(QStringLiteral("verificationScreen"));
        const QRectF header = sceneRect(content->findChild<QQuickItem *>(QStringLiteral("header")));
        const double above = header.top();
        const double below = window.height() - (line.bottom() + 30);
        QVERIFY2(qAbs(above - below) <= 1.0,
                 qPrintable(QStringLiteral("%1 above, %2 below").arg(above).arg(below)));
    }

    // A window closed while its e-mail is on the way drops the late result.
    void lateResultOfAClosedWindowIsDropped()
    {
        m_w->typeInto(QStringLiteral("emailField"), kAddress);
        m_w->click(QStringLiteral("sendButton"));
        const EmailCompletion completion = m_w->sender().sent.at(0).completion;
        QPointer<ContentView> view = &m_w->view();
        m_w.reset();
        QVERIFY(!view);

        completion(true, std::nullopt);
        QCoreApplication::processEvents();
        m_w = std::make_unique<VerificationWindow>(m_engine);
        QCoreApplication::processEvents();
        QVERIFY(m_w->view().emailStatus().isEmpty());
        QVERIFY(!m_w->view().emailSent());
    }

    void ctrlNAsksForAnotherWindow()
    {
        QSignalSpy spy(&m_w->window(), SIGNAL(newWindowRequested()));
        m_w->click(QStringLiteral("emailField"));
        QTest::keyClick(&m_w->window(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(spy.count(), 1);
        QVERIFY(m_w->view().interviewerEmail().isEmpty());
    }
};

QTEST_MAIN(TestVerificationWindow)
#include "tst_verificationwindow.moc"
