import QtQuick
import QtQuick.Layouts
import Nimbrel

// The manual-scan button and the start/stop control of monitoring.
RowLayout {
    id: actions

    required property ContentView view

    spacing: 15

    DashboardActionButton {
        objectName: "manualScanButton"
        focus: true
        symbol: "search"
        circled: true
        text: "Manual Scan"
        fillColor: actions.view.primaryBlue
        onClicked: actions.view.performScan()
    }

    DashboardActionButton {
        objectName: "monitorButton"
        symbol: actions.view.isMonitoring ? "stop_circle" : "play_circle"
        text: actions.view.isMonitoring ? "Stop Monitor" : "Start Monitor"
        fillColor: actions.view.isMonitoring ? actions.view.accentRed : actions.view.accentGreen
        onClicked: actions.view.toggleMonitoring()
    }
}
