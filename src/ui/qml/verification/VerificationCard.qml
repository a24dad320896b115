import QtQuick
import QtQuick.Layouts
import Nimbrel

// The card's content: the address, then either the send button or the code
// entry, then the latest result message once there is one.
ColumnLayout {
    id: card

    required property ContentView view

    readonly property alias statusLine: statusLine

    spacing: 20

    // The send button leaves with the focus it held: carry on at the code field.
    Connections {
        target: card.view

        function onEmailSentChanged() {
            if (card.view.emailSent)
                codeGroup.field.forceActiveFocus(Qt.TabFocusReason);
        }
    }

    FieldGroup {
        id: emailGroup

        objectName: "emailGroup"
        field.objectName: "emailField"
        field.focus: true
        Layout.fillWidth: true
        view: card.view
        label: "Interviewer Email"
        placeholder: "Enter email address"
        value: card.view.interviewerEmail
        onEdited: text => card.view.interviewerEmail = text
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
        visible: card.view.emailSent
        Layout.fillWidth: true
        view: card.view
        label: "Verification Code"
        placeholder: "Enter 6-digit code"
        value: card.view.userInputCode
        onEdited: text => card.view.userInputCode = text
        onAccepted: verifyButton.press()
    }

    CardButton {
        id: verifyButton

        objectName: "verifyButton"
        visible: card.view.emailSent
        Layout.fillWidth: true
        text: "Verify Code"
        symbol: "verified_user"
        fillColor: card.view.primaryBlue
        // A second wrong code leaves the message as it was: say it again.
        onClicked: {
            const before = card.view.emailStatus;
            card.view.verifyCode();
            if (card.view.emailStatus === before)
                statusLine.announce();
        }
    }

    CardButton {
        id: sendButton

        objectName: "sendButton"
        visible: !card.view.emailSent
        enabled: card.view.interviewerEmail !== ""
        Layout.fillWidth: true
        text: "Send Verification Code"
        symbol: "mail"
        fillColor: enabled ? card.view.primaryBlue : card.view.mediumGrey
        onClicked: card.view.sendVerificationCode()
    }

    StatusLine {
        id: statusLine

        objectName: "statusLine"
        visible: card.view.emailStatus !== ""
        Layout.alignment: Qt.AlignHCenter
        Layout.maximumWidth: card.width
        maximumWidth: card.width
        view: card.view
    }
}
