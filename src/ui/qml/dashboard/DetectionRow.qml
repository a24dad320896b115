// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// One logged detection: the line as found and when it was logged.
Rectangle {
    id: row

    required property string name
    required property string detectedAt

    implicitHeight: content.implicitHeight + 2 * Theme.standardPadding
    radius: 12
    color: "white"
    border.width: 1
    border.color: Qt.rgba(Theme.accentRed.r, Theme.accentRed.g, Theme.accentRed.b, 0.3)
    Accessible.role: Accessible.ListItem
    Accessible.name: SpokenText.of(name) + ", " + detectedAt
    // The current row is the one a screen reader is on.
    Accessible.focusable: true
    Accessible.selectable: true
    Accessible.selected: ListView.isCurrentItem

    FocusRing {
        shown: row.activeFocus
        controlRadius: row.radius
    }

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.margins: Theme.standardPadding
        spacing: Theme.defaultSpacing

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 4

            Text {
                Layout.fillWidth: true
                text: row.name
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: Theme.darkGrey
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
            }

            Text {
                text: row.detectedAt
                textFormat: Text.PlainText
                color: Theme.mediumGrey
                font.pixelSize: Theme.captionSize
            }
        }

        MaterialIcon {
            symbol: "remove_moderator"
            color: Theme.accentRed
            font.pixelSize: Theme.title3Size
        }
    }
}
