// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// Under the header: where the reports go, the address shown only by its first
// character and its domain, and how the last e-mail fared. A failed send is
// spoken as it happens; a successful one is not, so monitoring stays quiet:
// the notification is shown only from a failure to the next success.
Column {
    id: line

    required property MonitoringSession session

    readonly property string address: session.interviewerEmail
    readonly property int at: address.lastIndexOf("@")
    readonly property string firstCharacter: String.fromCodePoint(address.codePointAt(0) ?? 0x20)

    spacing: 4

    Text {
        objectName: "reportingTo"
        width: line.width
        horizontalAlignment: Text.AlignHCenter
        text: "Reporting to " + (line.at > 0 ? line.firstCharacter + "•••" + line.address.slice(line.at)
                                             : line.address)
        textFormat: Text.PlainText
        elide: Text.ElideMiddle
        color: Theme.mediumGrey
        font.pixelSize: Theme.subheadlineSize
        Accessible.role: Accessible.StaticText
        Accessible.name: line.at > 0 ? "Reporting to an address at " + line.address.slice(line.at + 1)
                                       + " that starts with " + line.firstCharacter
                                     : text
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        visible: line.session.lastEmailOutcome !== ""
        spacing: 4

        MaterialIcon {
            id: outcomeIcon

            symbol: line.session.lastEmailFailed ? "warning" : "check_circle"
            color: line.session.lastEmailFailed ? Theme.accentRed : Theme.accentGreen
            font.pixelSize: Theme.subheadlineSize + 2
        }

        Text {
            objectName: "lastEmailOutcome"
            width: Math.min(implicitWidth, line.width - outcomeIcon.width - parent.spacing)
            text: line.session.lastEmailOutcome
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            color: Theme.darkGrey
            font.pixelSize: Theme.subheadlineSize
            Accessible.role: Accessible.StaticText
            Accessible.name: text

            Announcement {
                id: announcement

                objectName: "lastEmailAnnouncement"
                visible: false
                text: line.session.lastEmailOutcome
            }
        }
    }

    Connections {
        target: line.session

        function onLastEmailOutcomeChanged() {
            if (line.session.lastEmailFailed)
                announcement.announce();
            else
                announcement.visible = false;
        }
    }
}
