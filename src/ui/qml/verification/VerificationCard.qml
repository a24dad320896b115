// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// The card's content: the address, then either the send button or the code
// entry, then the latest result message once there is one.
ColumnLayout {
    id: card

    required property VerificationFlow flow

    readonly property alias statusLine: statusLine

    spacing: 20

    // The send button leaves with the focus it held: carry on at the code field.
    Connections {
        target: card.flow

        function onEmailSentChanged() {
            if (card.flow.emailSent)
                codeGroup.field.forceActiveFocus(Qt.TabFocusReason);
        }
    }

    FieldGroup {
        id: emailGroup

        objectName: "emailGroup"
        field.objectName: "emailField"
        field.focus: true
        Layout.fillWidth: true
        label: "Interviewer Email"
        placeholder: "Enter email address"
        value: card.flow.interviewerEmail
        onEdited: text => card.flow.interviewerEmail = text
        // Return presses the form's default button: Send while it is offered,
        // and once the code is out it carries on to the code field.
        onAccepted: {
            if (sendButton.visible)
                sendButton.press();
            else
                codeGroup.field.forceActiveFocus(Qt.TabFocusReason);
        }
    }

    FieldGroup {
        id: codeGroup

        objectName: "codeGroup"
        field.objectName: "codeField"
        visible: card.flow.emailSent
        Layout.fillWidth: true
        label: "Verification Code"
        placeholder: "Enter 6-digit code"
        value: card.flow.userInputCode
        onEdited: text => card.flow.userInputCode = text
        onAccepted: verifyButton.press()
    }

    CardButton {
        id: verifyButton

        objectName: "verifyButton"
        visible: card.flow.emailSent
        Layout.fillWidth: true
        text: "Verify Code"
        symbol: "verified_user"
        fillColor: Theme.primaryBlue
        // A second wrong code leaves the message as it was: say it again.
        onClicked: {
            const before = card.flow.emailStatus;
            card.flow.verifyCode();
            if (card.flow.emailStatus === before)
                statusLine.announce();
        }
    }

    CardButton {
        id: sendButton

        objectName: "sendButton"
        visible: !card.flow.emailSent
        enabled: card.flow.interviewerEmail !== ""
        Layout.fillWidth: true
        text: "Send Verification Code"
        symbol: "mail"
        fillColor: enabled ? Theme.primaryBlue : Theme.mediumGrey
        onClicked: card.flow.sendVerificationCode()
    }

    StatusLine {
        id: statusLine

        objectName: "statusLine"
        visible: card.flow.emailStatus !== ""
        Layout.alignment: Qt.AlignHCenter
        Layout.maximumWidth: card.width
        maximumWidth: card.width
        message: card.flow.emailStatus
        address: card.flow.verificationAddress
    }
}
