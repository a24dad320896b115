// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// A large coloured dashboard button: a symbol above a label on a rounded fill
// that casts a shadow of its own colour. ModernButton adds the press feedback.
ModernButton {
    id: button

    required property string symbol
    // Draws the symbol cut out of a white circle, for symbols the font has
    // no circled form of.
    property bool circled: false
    required property color fillColor

    readonly property color labelColor: "white"
    readonly property int cornerRadius: 15

    focusRadius: cornerRadius

    contentItem: Item {
        implicitWidth: Math.max(120, stack.implicitWidth + 2 * Theme.standardPadding)
        implicitHeight: Math.max(80, stack.implicitHeight + 2 * Theme.standardPadding)

        BoxShadow {
            anchors.fill: fill
            cornerRadius: button.cornerRadius
            blurRadius: 8
            color: Qt.rgba(button.fillColor.r, button.fillColor.g, button.fillColor.b, 0.3)
            verticalOffset: 4
        }

        Rectangle {
            id: fill

            anchors.fill: parent
            radius: button.cornerRadius
            color: button.fillColor
        }

        Column {
            id: stack

            anchors.centerIn: parent
            spacing: 8

            MaterialIcon {
                anchors.horizontalCenter: parent.horizontalCenter
                visible: !button.circled
                symbol: button.symbol
                color: button.labelColor
                font.pixelSize: Theme.title2Size
            }

            CircledIcon {
                anchors.horizontalCenter: parent.horizontalCenter
                visible: button.circled
                symbol: button.symbol
                color: button.labelColor
                cutoutColor: button.fillColor
                pixelSize: Theme.title2Size
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: button.text
                textFormat: Text.PlainText
                color: button.labelColor
                font.pixelSize: Theme.subheadlineSize
                font.weight: Font.DemiBold
            }
        }
    }
}
