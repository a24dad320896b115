import QtQuick
import QtQuick.Controls.Basic
import Qt5Compat.GraphicalEffects as GE

// A large coloured dashboard button: a symbol above a label on a rounded,
// shadowed fill. It shrinks slightly while pressed.
Button {
    id: button

    required property string symbol
    required property string label
    required property color fillColor

    readonly property color labelColor: "white"

    padding: 0
    focusPolicy: Qt.StrongFocus
    Accessible.name: label

    contentItem: Item {
        implicitWidth: Math.max(120, stack.implicitWidth + 24)
        implicitHeight: Math.max(80, stack.implicitHeight + 16)
        scale: button.down ? 0.95 : 1.0

        Behavior on scale {
            NumberAnimation {
                duration: 100
                easing.type: Easing.InOutQuad
            }
        }

        GE.DropShadow {
            anchors.fill: fill
            source: fill
            color: Qt.rgba(button.fillColor.r, button.fillColor.g, button.fillColor.b, 0.3)
            radius: 8
            samples: 17
            horizontalOffset: 0
            verticalOffset: 4
        }

        Rectangle {
            id: fill

            anchors.fill: parent
            radius: 15
            color: button.fillColor
        }

        // Keyboard focus ring, so the buttons can be used without a mouse.
        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: 18
            color: "transparent"
            border.width: 2
            border.color: button.fillColor
            visible: button.visualFocus
        }

        Column {
            id: stack

            anchors.centerIn: parent
            spacing: 8

            SymbolIcon {
                anchors.horizontalCenter: parent.horizontalCenter
                symbol: button.symbol
                color: button.labelColor
                font.pixelSize: 22
            }

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: button.label
                color: button.labelColor
                font.pixelSize: 14
                font.weight: Font.DemiBold
            }
        }
    }

    background: null
}
