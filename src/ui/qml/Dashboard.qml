// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// The monitoring dashboard: header, the two action buttons, the status card
// (while monitoring, the session's summary under it) and, once something was
// found, the detections card. Tab moves between the two buttons; Space,
// Return or Enter presses the focused one.
FocusScope {
    id: dashboard

    required property MonitoringSession session

    // Takes the keyboard focus within whatever shows it, so Space presses
    // Manual Scan as soon as the dashboard appears.
    focus: true

    readonly property int pieceSpacing: 25

    implicitWidth: column.implicitWidth + 2 * Theme.standardPadding
    implicitHeight: column.implicitHeight + 2 * Theme.standardPadding

    // A short window scrolls the whole dashboard.
    ScreenScroller {
        id: scroller

        objectName: "dashboardScroller"
        anchors.fill: parent
        name: "Dashboard"
        barAllowed: !detectionsCard.listBarShown
        contentHeight: Math.max(height, dashboard.implicitHeight)

        ColumnLayout {
            id: column

            width: Math.min(scroller.width - 2 * Theme.standardPadding, Theme.maximumContentWidth)
            x: (scroller.width - width) / 2
            y: Theme.standardPadding
            height: scroller.contentHeight - 2 * Theme.standardPadding
            spacing: dashboard.pieceSpacing

            DashboardHeader {
                session: dashboard.session
                Layout.fillWidth: true
            }

            DashboardActions {
                session: dashboard.session
                Layout.alignment: Qt.AlignHCenter
            }

            ScanStatusCard {
                objectName: "scanStatusCard"
                session: dashboard.session
                Layout.alignment: Qt.AlignHCenter
            }

            SessionSummary {
                objectName: "sessionSummary"
                session: dashboard.session
                Layout.fillWidth: true
                // Close under the card it belongs to.
                Layout.topMargin: 10 - dashboard.pieceSpacing
            }

            DetectionsCard {
                id: detectionsCard

                objectName: "detectionsCard"
                screenScrolls: scroller.interactive
                detections: dashboard.session.detectedProcesses
                visible: detections.count > 0
                Layout.fillWidth: true
            }

            // Keeps everything above at the top.
            Item {
                Layout.fillHeight: true
            }
        }
    }
}
