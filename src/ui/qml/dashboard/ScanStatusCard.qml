// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// The pulsing status dot beside the current scan status.
Rectangle {
    id: card

    required property MonitoringSession session

    implicitWidth: row.implicitWidth + 2 * Theme.standardPadding
    implicitHeight: row.implicitHeight + 2 * Theme.standardPadding
    radius: 12
    color: Qt.rgba(1, 1, 1, 0.8)
    border.width: 1
    border.color: Qt.rgba(Theme.mediumGrey.r, Theme.mediumGrey.g, Theme.mediumGrey.b, 0.3)

    readonly property string transientStatus: "Scanning..."
    // What the card said when it appeared, then the last result announced.
    property string spokenStatus

    Component.onCompleted: spokenStatus = session.scanStatus

    Connections {
        target: card.session

        function onScanStatusChanged() {
            const status = card.session.scanStatus;
            if (status === card.transientStatus || status === card.spokenStatus)
                return;
            card.spokenStatus = status;
            announcement.announce();
        }
    }

    RowLayout {
        id: row

        anchors.centerIn: parent
        spacing: Theme.defaultSpacing

        StatusDot {
            objectName: "statusDot"
            monitoring: card.session.isMonitoring
        }

        Text {
            objectName: "scanStatusText"
            text: card.session.scanStatus
            textFormat: Text.PlainText
            color: Theme.darkGrey
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
            Accessible.ignored: true

            // Spoken when a scan settles on another result than the last one
            // spoken: monitoring repeats the same result every 10 s.
            Announcement {
                id: announcement

                objectName: "scanStatusAnnouncement"
                text: card.session.scanStatus
            }
        }
    }
}
