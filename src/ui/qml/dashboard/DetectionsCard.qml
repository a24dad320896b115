import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Nimbrel

// Every detection so far, oldest first, in a list that scrolls once it is
// 200 points high. Rows are built only for the visible part of the log.
Rectangle {
    id: card

    required property ContentView view

    readonly property int cardPadding: 16
    readonly property int maximumListHeight: 200

    implicitHeight: content.implicitHeight + 2 * cardPadding
    radius: 15
    color: Qt.rgba(view.accentRed.r, view.accentRed.g, view.accentRed.b, 0.05)
    border.width: 1
    border.color: Qt.rgba(view.accentRed.r, view.accentRed.g, view.accentRed.b, 0.2)

    ColumnLayout {
        id: content

        anchors.fill: parent
        anchors.margins: card.cardPadding
        spacing: 15

        RowLayout {
            SymbolIcon {
                symbol: "warning"
                color: card.view.accentRed
                font.pixelSize: 18
            }

            Text {
                text: "Detected Processes"
                color: card.view.darkGrey
                font.pixelSize: 16
                font.bold: true
                Accessible.role: Accessible.Heading
            }
        }

        ListView {
            id: list

            objectName: "detectionsList"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, card.maximumListHeight)
            clip: true
            spacing: 12
            model: card.view.detectedProcesses
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: "Detected Processes"

            ScrollBar.vertical: ScrollBar {
                policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
            }

            delegate: DetectionRow {
                width: list.width
                view: card.view
            }
        }
    }
}
