import QtQuick
import QtQuick.Layouts
import Nimbrel

// One logged detection: the line as found and when it was logged.
Rectangle {
    id: row

    required property ContentView view
    required property string name
    required property string detectedAt

    readonly property int rowPadding: 12

    implicitHeight: content.implicitHeight + 2 * rowPadding
    radius: 12
    color: "white"
    border.width: 1
    border.color: Qt.rgba(view.accentRed.r, view.accentRed.g, view.accentRed.b, 0.3)
    Accessible.role: Accessible.ListItem
    Accessible.name: name + ", " + detectedAt

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.margins: row.rowPadding

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 4

            Text {
                Layout.fillWidth: true
                text: row.name
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: row.view.darkGrey
                font.pixelSize: 15
                font.weight: Font.DemiBold
            }

            Text {
                text: row.detectedAt
                textFormat: Text.PlainText
                color: row.view.mediumGrey
                font.pixelSize: 12
            }
        }

        SymbolIcon {
            symbol: "remove_moderator"
            color: row.view.accentRed
            font.pixelSize: 20
        }
    }
}
