import QtQuick
import QtQuick.Layouts
import Nimbrel

// The pulsing status dot beside the current scan status.
Rectangle {
    id: card

    required property ContentView view

    readonly property int cardPadding: 16

    implicitWidth: row.implicitWidth + 2 * cardPadding
    implicitHeight: row.implicitHeight + 2 * cardPadding
    radius: 12
    color: Qt.rgba(1, 1, 1, 0.8)
    border.width: 1
    border.color: Qt.rgba(view.mediumGrey.r, view.mediumGrey.g, view.mediumGrey.b, 0.3)

    RowLayout {
        id: row

        anchors.centerIn: parent

        StatusDot {
            view: card.view
        }

        Text {
            objectName: "scanStatusText"
            text: card.view.scanStatus
            textFormat: Text.PlainText
            color: card.view.darkGrey
            font.pixelSize: 15
            font.weight: Font.Medium
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }
}
