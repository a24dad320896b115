// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// Shown instead of the main window when Config.plist is missing or unusable,
// so a start from the desktop launcher does not fail without a word: what is
// wrong, every place that was looked at (selectable, to copy a path), and Close.
Window {
    id: window

    required property string problem
    required property list<string> searched

    title: "Nimbrel"
    width: 600
    height: content.implicitHeight + 2 * Theme.standardPadding * 2
    minimumWidth: 420
    minimumHeight: height
    color: Theme.lightGrey
    visible: true

    Column {
        id: content

        anchors.fill: parent
        anchors.margins: Theme.standardPadding * 2
        spacing: Theme.standardPadding

        Row {
            spacing: Theme.defaultSpacing + 4

            MaterialIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: "warning"
                color: Theme.accentRed
                font.pixelSize: 36
            }

            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Nimbrel cannot start")
                color: Theme.darkGrey
                font.pixelSize: Theme.titleSize
                font.weight: Font.Bold
            }
        }

        Text {
            width: parent.width
            text: window.problem
            color: Theme.darkGrey
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
        }

        Text {
            text: qsTr("Places looked at, in this order:")
            color: Theme.mediumGrey
            font.pixelSize: Theme.bodySize
            font.weight: Font.DemiBold
        }

        TextEdit {
            width: parent.width
            text: window.searched.join("\n")
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.WrapAnywhere
            color: Theme.darkGrey
            font.family: "monospace"
            font.pixelSize: Theme.subheadlineSize
            textFormat: TextEdit.PlainText
            Accessible.name: qsTr("Places looked at")
        }

        ModernButton {
            id: close

            anchors.right: parent.right
            text: qsTr("Close")
            focus: true
            onClicked: window.close()

            contentItem: Rectangle {
                implicitWidth: label.implicitWidth + 4 * Theme.standardPadding
                implicitHeight: label.implicitHeight + Theme.standardPadding
                radius: 12
                color: Theme.primaryBlue

                Text {
                    id: label

                    anchors.centerIn: parent
                    text: close.text
                    color: "white"
                    font.pixelSize: Theme.bodySize
                    font.weight: Font.DemiBold
                }
            }
        }
    }
}
