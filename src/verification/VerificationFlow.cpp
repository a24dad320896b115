// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VerificationFlow.h"

#include "VerificationCode.h"
#include "VerificationEmail.h"
#include "monitoring/PostToGuiThread.h"

namespace {

QString codeSentMessage(const QString &address)
{
    return QStringLiteral("✓ Verification code sent to ") + address;
}

} // namespace

VerificationFlow::VerificationFlow(std::shared_ptr<EmailSender> emailSender, QObject *parent)
    : QObject(parent), m_emailSender(std::move(emailSender))
{}

void VerificationFlow::setInterviewerEmail(const QString &email)
{
    if (m_interviewerEmail == email)
        return;
    m_interviewerEmail = email;
    emit interviewerEmailChanged();
}

void VerificationFlow::setUserInputCode(const QString &code)
{
    if (m_userInputCode == code)
        return;
    m_userInputCode = code;
    emit userInputCodeChanged();
}

void VerificationFlow::setEmailStatus(const QString &status)
{
    if (m_emailStatus == status)
        return;
    m_emailStatus = status;
    emit emailStatusChanged();
}

void VerificationFlow::sendVerificationCode()
{
    const QString code = VerificationCode::generate();
    m_verificationCode = code;
    if (m_verificationAddress != m_interviewerEmail) {
        m_verificationAddress = m_interviewerEmail;
        emit verificationAddressChanged();
    }

    // Not retried: the interviewer waiting for the code simply asks again.
    const EmailBody body = VerificationEmail::body(code);
    m_emailSender->sendEmail(
        m_verificationAddress, VerificationEmail::subject(), body.html, body.text,
        [flow = QPointer<VerificationFlow>(this), code,
         to = m_verificationAddress](bool success, std::optional<EmailError> error) {
            postToGuiThread(flow, [code, to, success,
                                   error = std::move(error)](VerificationFlow &flow) mutable {
                // A later press replaced this code. Its e-mail arriving must not open
                // code entry: if the later send failed, the card would offer a field
                // for a code nobody received and no way to send again.
                if (success && code != flow.m_verificationCode)
                    flow.setEmailStatus(codeSentMessage(to));
                else
                    flow.handleVerificationEmailResult(success, std::move(error));
            });
        },
        EmailSender::Retry::Never);
}

void VerificationFlow::handleVerificationEmailResult(bool success, std::optional<EmailError> error)
{
    if (!success) {
        setEmailStatus(QStringLiteral("✗ Failed to send email: ") +
                       (error ? error->description : QStringLiteral("Unknown error")));
        return;
    }
    // Names the address the current code went to, which is the one it can verify,
    // even if the field was edited while the e-mail was on its way.
    setEmailStatus(codeSentMessage(m_verificationAddress));
    if (!m_emailSent) {
        m_emailSent = true;
        emit emailSentChanged();
    }
}

void VerificationFlow::verifyCode()
{
    // No code has been made yet only when called outside the card, which shows the
    // verify button after a send; an empty entry must not match an empty code.
    if (m_verificationCode.isEmpty() || m_userInputCode != m_verificationCode) {
        setEmailStatus(QStringLiteral("✗ Incorrect code. Try again."));
        return;
    }
    // A code proves only the address it was sent to; every later notice goes
    // to the verified address, so another address must not slip in here.
    if (m_interviewerEmail != m_verificationAddress) {
        setEmailStatus(QStringLiteral("✗ This code was sent to ") + m_verificationAddress +
                       QStringLiteral(". Enter that address to verify it."));
        return;
    }
    if (!m_isVerified) {
        m_isVerified = true; // the window fades to the dashboard on this change
        emit isVerifiedChanged();
    }
    setEmailStatus(QStringLiteral("✓ Verification successful!"));
}
