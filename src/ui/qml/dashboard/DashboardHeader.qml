import QtQuick
import QtQuick.Layouts
import Nimbrel

// The dashboard's title row and subtitle.
ColumnLayout {
    id: header

    required property ContentView view

    spacing: 10

    RowLayout {
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: 20
        spacing: Theme.defaultSpacing

        MaterialIcon {
            symbol: "radar"
            color: header.view.primaryBlue
            font.pixelSize: Theme.titleSize
        }

        Text {
            text: "Nimbrel Scanner"
            color: header.view.darkGrey
            font.pixelSize: 28
            font.bold: true
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
    }

    Text {
        Layout.alignment: Qt.AlignHCenter
        text: "Security Monitoring Dashboard"
        color: header.view.mediumGrey
        font.pixelSize: Theme.subheadlineSize
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
