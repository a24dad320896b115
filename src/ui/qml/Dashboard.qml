import QtQuick
import QtQuick.Layouts
import Nimbrel

// The monitoring dashboard: header, the two action buttons, the status card
// and, once something was found, the detections card.
Item {
    id: dashboard

    required property ContentView view

    readonly property int pieceSpacing: 25
    readonly property int edgePadding: 16

    implicitWidth: column.implicitWidth + 2 * edgePadding
    implicitHeight: column.implicitHeight + 2 * edgePadding

    ColumnLayout {
        id: column

        anchors.fill: parent
        anchors.margins: dashboard.edgePadding
        spacing: dashboard.pieceSpacing

        DashboardHeader {
            view: dashboard.view
            Layout.alignment: Qt.AlignHCenter
        }

        DashboardActions {
            view: dashboard.view
            Layout.alignment: Qt.AlignHCenter
        }

        ScanStatusCard {
            view: dashboard.view
            Layout.alignment: Qt.AlignHCenter
        }

        DetectionsCard {
            view: dashboard.view
            visible: dashboard.view.detectedProcesses.count > 0
            Layout.fillWidth: true
        }

        // Keeps everything above at the top.
        Item {
            Layout.fillHeight: true
        }
    }
}
