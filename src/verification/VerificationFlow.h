// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "email/EmailSender.h"

#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

#include <memory>
#include <optional>

// Proves the interviewer's address before monitoring starts: a six-digit code
// is e-mailed to it and must be typed back. One per window; every property is
// read and written on the GUI thread only, and an e-mail's outcome comes back
// through a queued call that a destroyed flow never sees.
class VerificationFlow : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Each window's VerificationFlow is made by the application")

    Q_PROPERTY(QString interviewerEmail READ interviewerEmail WRITE setInterviewerEmail NOTIFY
                   interviewerEmailChanged)
    Q_PROPERTY(
        QString userInputCode READ userInputCode WRITE setUserInputCode NOTIFY userInputCodeChanged)
    Q_PROPERTY(QString emailStatus READ emailStatus NOTIFY emailStatusChanged)
    Q_PROPERTY(bool emailSent READ emailSent NOTIFY emailSentChanged)
    Q_PROPERTY(bool isVerified READ isVerified NOTIFY isVerifiedChanged)
    // The address the current code went to, which status messages name.
    Q_PROPERTY(
        QString verificationAddress READ verificationAddress NOTIFY verificationAddressChanged)

public:
    explicit VerificationFlow(std::shared_ptr<EmailSender> emailSender, QObject *parent = nullptr);

    QString interviewerEmail() const { return m_interviewerEmail; }
    void setInterviewerEmail(const QString &email);
    QString userInputCode() const { return m_userInputCode; }
    void setUserInputCode(const QString &code);
    QString emailStatus() const { return m_emailStatus; }
    bool emailSent() const { return m_emailSent; }
    bool isVerified() const { return m_isVerified; }
    QString verificationAddress() const { return m_verificationAddress; }
    // The code last made; empty before the first send.
    QString verificationCode() const { return m_verificationCode; }

    Q_INVOKABLE void sendVerificationCode();
    Q_INVOKABLE void verifyCode();

signals:
    void interviewerEmailChanged();
    void userInputCodeChanged();
    void emailStatusChanged();
    void emailSentChanged();
    void isVerifiedChanged();
    void verificationAddressChanged();

private:
    void handleVerificationEmailResult(bool success, std::optional<EmailError> error);
    void setEmailStatus(const QString &status);

    std::shared_ptr<EmailSender> m_emailSender;
    QString m_interviewerEmail;
    QString m_userInputCode;
    QString m_emailStatus;
    bool m_emailSent = false;
    bool m_isVerified = false;
    // A code verifies only the address it was sent to.
    QString m_verificationAddress;
    QString m_verificationCode;
};
