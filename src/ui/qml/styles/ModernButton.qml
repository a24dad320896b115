// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T

// Press feedback for buttons that draw their own look: the label (contentItem)
// shrinks to 95 % about its centre over 0.1 s while pressed and grows back when
// released. Nothing else changes, and scaling never moves neighbours.
//
//     ModernButton {
//         text: "Verify Code"              // also the accessible name
//         onClicked: flow.verifyCode()
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
    // Assistive technology's Press: the template offers it but does nothing.
    Accessible.onPressAction: press()

    Keys.onReturnPressed: press()
    Keys.onEnterPressed: press()

    // Runs the button's action as a press would: not while it is disabled.
    function press() {
        if (enabled)
            clicked();
    }

    // Outside the press scaling, and shown whenever the button holds the
    // focus, however it got it: a ring only after Tab hides which button
    // Space would press.
    background: Item {
        FocusRing {
            shown: control.activeFocus
            controlRadius: control.focusRadius
        }
    }
}
