// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// A label above a styled text field. Every keystroke goes straight to the
// owner through `edited`; Return or Enter in the field emits `accepted`.
ColumnLayout {
    id: group

    required property string label
    required property string placeholder
    required property string value

    property alias field: field

    signal edited(string text)
    signal accepted

    spacing: 8

    Text {
        text: group.label
        color: Theme.mediumGrey
        font.pixelSize: Theme.subheadlineSize
        font.weight: Font.Medium
        Accessible.ignored: true
    }

    // The field clips its scrolled text, so its focus ring lives beside it.
    Item {
        Layout.fillWidth: true
        implicitWidth: field.implicitWidth
        implicitHeight: field.implicitHeight

        ModernTextField {
            id: field

            anchors.fill: parent
            placeholderText: group.placeholder
            text: group.value
            onTextEdited: group.edited(text)
            onAccepted: group.accepted()
            Accessible.name: group.label
        }

        FocusRing {
            shown: field.activeFocus
            controlRadius: 12
        }
    }
}
