#include "ContentView.h"

#include "VerificationCode.h"
#include "VerificationEmail.h"

#include "PostToGuiThread.h"

namespace {

QString codeSentMessage(const QString &address)
{
    return QStringLiteral("✓ Verification code sent to ") + address;
}

// Writes `value` into `cell` and says whether it changed, so views redraw
// only on real changes.
bool assignChanged(QString &cell, const QString &value)
{
    if (cell == value)
        return false;
    cell = value;
    return true;
}

} // namespace

ContentView::ContentView(std::shared_ptr<EmailSender> resendService, ScanPass scanPass,
                         ScanResultsEmails scanResultsEmails, QObject *parent)
    : QObject(parent), m_resendService(std::move(resendService)), m_scanPass(std::move(scanPass)),
      m_scanResultsEmails(scanResultsEmails)
{}

ContentView::~ContentView() = default;

void ContentView::setInterviewerEmail(const QString &email)
{
    if (assignChanged(m_interviewerEmail, email))
        emit interviewerEmailChanged();
}

void ContentView::setUserInputCode(const QString &code)
{
    if (assignChanged(m_userInputCode, code))
        emit userInputCodeChanged();
}

void ContentView::setEmailStatus(const QString &status)
{
    if (assignChanged(m_emailStatus, status))
        emit emailStatusChanged();
}

void ContentView::setScanStatus(const QString &status)
{
    if (assignChanged(m_scanStatus, status))
        emit scanStatusChanged();
}

void ContentView::sendVerificationCode()
{
    const QString code = VerificationCode::generate();
    if (assignChanged(m_verificationCode, code))
        emit verificationCodeChanged();
    if (assignChanged(m_verificationAddress, m_interviewerEmail))
        emit verificationAddressChanged();

    // Not retried: the interviewer waiting for the code simply asks again.
    send(m_verificationAddress, VerificationEmail::subject(), VerificationEmail::htmlBody(code),
         Mail::VerificationCode,
         [code, to = m_verificationAddress](ContentView &view, bool success,
                                            std::optional<EmailError> error) {
             // A later press replaced this code. Its e-mail arriving must not open code
             // entry: if the later send failed, the card would offer a field for a code
             // nobody received and no way to send again.
             if (success && code != view.m_verificationCode) {
                 view.setEmailStatus(codeSentMessage(to));
                 return;
             }
             view.handleVerificationEmailResult(success, std::move(error));
         });
}

void ContentView::send(const QString &to, const QString &subject, const QString &html, Mail mail,
                       std::function<void(ContentView &, bool, std::optional<EmailError>)> apply)
{
    const bool notice = mail == Mail::Notice;
    m_noticesInFlight += notice ? 1 : 0;
    m_resendService->sendEmail(
        to, subject, html, std::nullopt,
        [window = QPointer<ContentView>(this), apply = std::move(apply),
         notice](bool success, std::optional<EmailError> error) {
            postToGuiThread(window, [apply, success, error = std::move(error),
                                     notice](ContentView &view) mutable {
                apply(view, success, std::move(error));
                if (notice && --view.m_noticesInFlight == 0)
                    emit view.noticesSettled();
            });
        },
        notice ? EmailSender::Retry::OnTransientFailure : EmailSender::Retry::Never);
}

void ContentView::handleVerificationEmailResult(bool success, std::optional<EmailError> error)
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

void ContentView::verifyCode()
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
