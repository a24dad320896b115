// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Nimbrel

// The latest result message with its icon: a check when the text holds "✓"
// anywhere, else a cross when it holds "✗", else an "i". As wide as its text,
// up to `maximumWidth`; longer texts wrap and are cut off after a few lines,
// with the whole message in a tooltip. `address`, where the message names it,
// is laid out as one (AddressText).
Rectangle {
    id: line

    required property string message
    required property string address
    property real maximumWidth: Infinity

    readonly property string iconSymbol: message.includes("✓") ? "check_circle" : message.includes("✗") ? "cancel" : "info"
    readonly property color iconColor: message.includes("✓") ? Theme.accentGreen : message.includes("✗") ? Theme.accentRed : Theme.primaryBlue
    readonly property real textRoom: maximumWidth - 2 * Theme.standardPadding - icon.implicitWidth - row.spacing
    // Whether the line shows only part of the message (the tooltip has it all).
    readonly property bool cut: text.truncated || (text.text.includes("…") && !message.includes("…"))

    implicitWidth: row.implicitWidth + 2 * Theme.standardPadding
    implicitHeight: row.implicitHeight + 2 * Theme.standardPadding
    radius: 10
    color: Qt.rgba(1, 1, 1, 0.8)

    property string previousMessage: ""

    // Every new message is spoken; announce() says the current one again. The
    // first one needs no help: the line appears with it, and so is spoken.
    onMessageChanged: {
        if (previousMessage !== "")
            announcement.announce();
        previousMessage = message;
    }

    function announce() {
        announcement.announce();
    }

    Announcement {
        id: announcement

        objectName: "statusAnnouncement"
        text: line.message
    }

    Row {
        id: row

        anchors.centerIn: parent
        spacing: Theme.defaultSpacing

        MaterialIcon {
            id: icon

            objectName: "statusIcon"
            anchors.verticalCenter: parent.verticalCenter
            symbol: line.iconSymbol
            color: line.iconColor
            font.pixelSize: Theme.subheadlineSize + 5
        }

        // An address in the message breaks only before "@" or "." and is cut
        // in its middle beyond two lines; other text wraps at its words.
        Text {
            id: text

            readonly property bool namesAddress: text.text !== line.message

            objectName: "statusText"
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, Math.min(implicitWidth, line.textRoom))
            text: AddressText.fit(line.message, line.address, font, line.textRoom)
            textFormat: Text.PlainText
            color: Theme.mediumGrey
            font.pixelSize: Theme.subheadlineSize
            wrapMode: namesAddress ? Text.WordWrap : Text.WrapAtWordBoundaryOrAnywhere
            maximumLineCount: 4
            elide: Text.ElideRight
            Accessible.ignored: true
        }
    }

    HoverHandler {
        id: hover
    }

    T.ToolTip {
        objectName: "statusToolTip"
        visible: line.cut && hover.hovered
        delay: 500
        text: line.message
        // Above the line, no wider than it.
        y: -height - 4
        padding: 8
        implicitWidth: Math.min(contentItem.implicitWidth + leftPadding + rightPadding, line.width)
        implicitHeight: contentHeight + topPadding + bottomPadding

        // The address whole, on as many lines as it takes.
        contentItem: Text {
            readonly property real room: line.width - 16

            text: AddressText.fit(line.message, line.address, font, room, 1000)
            textFormat: Text.PlainText
            wrapMode: text !== line.message ? Text.WordWrap : Text.WrapAtWordBoundaryOrAnywhere
            color: "white"
            font.pixelSize: Theme.captionSize
        }

        background: Rectangle {
            radius: 6
            color: Theme.darkGrey
        }
    }
}
