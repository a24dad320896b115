import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Nimbrel

// Every detection so far, oldest first, in a list that scrolls once it is
// 200 points high. Rows are built only for the visible part of the log.
Rectangle {
    id: card

    required property ContentView view

        readonly property int maximumListHeight: 200

    implicitHeight: content.implicitHeight + 2 * Theme.standardPadding
    radius: 15
    color: Qt.rgba(view.accentRed.r, view.accentRed.g, view.accentRed.b, 0.05)
    border.width: 1
    border.color: Qt.rgba(view.accentRed.r, view.accentRed.g, view.accentRed.b, 0.2)

    ColumnLayout {
        id: content

        anchors.fill: parent
        anchors.margins: Theme.standardPadding
        spacing: 15

        RowLayout {
            spacing: Theme.defaultSpacing

            MaterialIcon {
                symbol: "warning"
                color: card.view.accentRed
                font.pixelSize: Theme.headlineSize
            }

            Text {
                text: "Detected Processes"
                color: card.view.darkGrey
                font.pixelSize: Theme.headlineSize
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
                id: scrollBar

                readonly property bool needed: list.contentHeight > list.height

                policy: needed ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            delegate: DetectionRow {
                // Rows leave room for the scroll bar rather than run under it.
                width: list.width - (scrollBar.needed ? scrollBar.width + 4 : 0)
                view: card.view
            }
        }
    }
}
