// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// The manual-scan button and the start/stop control of monitoring.
RowLayout {
    id: actions

    required property MonitoringSession session

    spacing: 15

    DashboardActionButton {
        objectName: "manualScanButton"
        focus: true
        symbol: "search"
        circled: true
        text: "Manual Scan"
        fillColor: Theme.primaryBlue
        onClicked: actions.session.performScan()
    }

    DashboardActionButton {
        objectName: "monitorButton"
        symbol: actions.session.isMonitoring ? "stop_circle" : "play_circle"
        text: actions.session.isMonitoring ? "Stop Monitor" : "Start Monitor"
        fillColor: actions.session.isMonitoring ? Theme.stopFill : Theme.startFill
        onClicked: actions.session.toggleMonitoring()
    }
}
