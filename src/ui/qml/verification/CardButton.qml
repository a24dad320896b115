// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// A full-width card button: symbol and semibold text in white on a rounded fill.
ModernButton {
    id: button

    required property string symbol
    required property color fillColor

    focusRadius: 12

    contentItem: Rectangle {
        implicitWidth: label.implicitWidth + 2 * Theme.standardPadding
        implicitHeight: label.implicitHeight + 2 * Theme.standardPadding
        radius: 12
        color: button.fillColor

        Row {
            id: label

            anchors.centerIn: parent
            spacing: Theme.defaultSpacing

            MaterialIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: button.symbol
                color: "white"
                font.pixelSize: Theme.bodySize + 3
            }

            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: button.text
                color: "white"
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
            }
        }
    }
}
