import QtQuick
import QtQuick.Templates as T

// Press feedback for buttons that draw their own look: the label (contentItem)
// shrinks to 95 % about its centre over 0.1 s while pressed and grows back when
// released. Nothing else changes, and scaling never moves neighbours.
//
//     ModernButton {
//         text: "Verify Code"              // also the accessible name
//         onClicked: view.verifyCode()
//         contentItem: Rectangle { ... }   // the label: colours, size and shape
//     }
//
// Space, Return and Enter press a focused button; a disabled one ignores
// presses and keeps its label at full size.
T.Button {
    id: control

    // Corner radius of the keyboard focus ring; match the label's shape.
    property real focusRadius: 12

    property real pressScale: down ? 0.95 : 1.0

    Behavior on pressScale {
        NumberAnimation {
            duration: 100
            easing.type: Easing.InOutQuad
        }
    }

    Binding {
        target: control.contentItem
        property: "scale"
        value: control.pressScale
    }

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    padding: 0
    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    Accessible.name: text

    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    background: Item {
        // Keyboard focus ring around the label, outside the press scaling.
        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: control.focusRadius + 3
            color: "transparent"
            border.width: 2
            border.color: Qt.rgba(0.2, 0.4, 0.8, 0.6)
            visible: control.visualFocus
        }
    }
}
