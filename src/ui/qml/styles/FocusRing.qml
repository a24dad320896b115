// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// The keyboard focus ring around its parent, shown while `shown` holds. It
// is drawn outside the parent, a gap away, so it never covers the control.
//
//     background: Item {
//         FocusRing { shown: control.activeFocus; controlRadius: 12 }
//     }
Rectangle {
    required property bool shown
    property real controlRadius: 0

    readonly property int outset: Theme.focusRingGap + Theme.focusRingWidth

    anchors.fill: parent
    anchors.margins: -outset
    radius: controlRadius > 0 ? controlRadius + outset : 0
    color: "transparent"
    border.width: Theme.focusRingWidth
    border.color: Theme.focusRingColor
    visible: shown
}
