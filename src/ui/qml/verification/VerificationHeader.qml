// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// The shield, the application's name and its tagline, centred.
Column {
    spacing: 15
    bottomPadding: 20

    MaterialIcon {
        anchors.horizontalCenter: parent.horizontalCenter
        symbol: "security"
        color: Theme.primaryBlue
        font.pixelSize: 60
        font.weight: Font.Light
    }

    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        text: "Nimbrel"
        color: Theme.darkGrey
        font.pixelSize: 32
        font.weight: Font.Bold
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    Text {
        width: parent.width
        text: "Verify interviewers & scan for spyware during remote interviews"
        color: Theme.mediumGrey
        font.pixelSize: Theme.title2Size
        font.weight: Font.Medium
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        Accessible.name: text
    }
}
