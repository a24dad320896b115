import QtQuick
import QtQuick.Layouts
import Nimbrel

// The pulsing status dot beside the current scan status.
Rectangle {
    id: card

    required property ContentView view

    implicitWidth: row.implicitWidth + 2 * Theme.standardPadding
    implicitHeight: row.implicitHeight + 2 * Theme.standardPadding
    radius: 12
    color: Qt.rgba(1, 1, 1, 0.8)
    border.width: 1
    border.color: Qt.rgba(view.mediumGrey.r, view.mediumGrey.g, view.mediumGrey.b, 0.3)

    RowLayout {
        id: row

        anchors.centerIn: parent
        spacing: Theme.defaultSpacing

        StatusDot {
            objectName: "statusDot"
            view: card.view
        }

        Text {
            objectName: "scanStatusText"
            text: card.view.scanStatus
            textFormat: Text.PlainText
            color: card.view.darkGrey
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }
}
