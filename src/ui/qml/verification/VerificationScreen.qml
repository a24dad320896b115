// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// The header and the white card, centred as one block in the window.
Item {
    id: screen

    required property VerificationFlow flow

    readonly property int cardPadding: 30
    readonly property int sideMargin: 30

    implicitWidth: 2 * sideMargin + Math.max(header.implicitWidth, card.implicitWidth + 2 * cardPadding)
    implicitHeight: column.implicitHeight

    // A short window scrolls the screen; the newest message is brought into
    // sight, since it appears below whatever was pressed, and then the focus.
    ScreenScroller {
        id: scroller

        objectName: "verificationScroller"
        anchors.fill: parent
        name: "Verification screen"
        contentHeight: Math.max(height, column.implicitHeight)

        Connections {
            target: screen.flow

            function onEmailStatusChanged() {
                scroller.revealWhenPlaced(card.statusLine);
            }
        }

        ColumnLayout {
            id: column

            width: scroller.width
            height: scroller.contentHeight
            spacing: 30

            Item {
                Layout.fillHeight: true
                Layout.minimumHeight: Theme.standardPadding
            }

            VerificationHeader {
                id: header

                objectName: "header"
                Layout.fillWidth: true
                Layout.leftMargin: screen.sideMargin
                Layout.rightMargin: screen.sideMargin
            }

            Item {
                id: container

                Layout.fillWidth: true
                Layout.maximumWidth: Theme.maximumContentWidth
                Layout.alignment: Qt.AlignHCenter
                Layout.leftMargin: screen.sideMargin
                Layout.rightMargin: screen.sideMargin
                implicitHeight: card.implicitHeight + 2 * screen.cardPadding

                BoxShadow {
                    anchors.fill: panel
                    cornerRadius: panel.radius
                    blurRadius: 20
                    color: Qt.rgba(0, 0, 0, 0.1)
                    verticalOffset: 10
                }

                Rectangle {
                    id: panel

                    anchors.fill: parent
                    radius: 20
                    color: "white"
                }

                VerificationCard {
                    id: card

                    anchors.fill: parent
                    anchors.margins: screen.cardPadding
                    flow: screen.flow
                }
            }

            Item {
                Layout.fillHeight: true
                Layout.minimumHeight: Theme.standardPadding
            }
        }
    }
}
