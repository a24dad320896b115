// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T

// The text field look: plain text on a light, outlined, 12-point rounded box.
//
//     ModernTextField {
//         placeholderText: "Enter email address"
//         text: flow.interviewerEmail
//         onTextEdited: flow.interviewerEmail = text
//         Accessible.name: "Interviewer Email"
//     }
//
// Any text of any length is accepted; text wider than the field scrolls inside it.
T.TextField {
    id: control

    // Not the text's width: a long entry scrolls inside instead of widening the layout.
    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            placeholder.implicitWidth + leftPadding + rightPadding, 200)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             contentHeight + topPadding + bottomPadding,
                             placeholder.implicitHeight + topPadding + bottomPadding)

    padding: Theme.standardPadding
    clip: true
    font.pixelSize: Theme.bodySize
    color: Theme.darkGrey
    selectionColor: Qt.rgba(Theme.primaryBlue.r, Theme.primaryBlue.g, Theme.primaryBlue.b, 0.35)
    selectedTextColor: Theme.darkGrey
    placeholderTextColor: Qt.rgba(Theme.darkGrey.r, Theme.darkGrey.g, Theme.darkGrey.b, 0.45)
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    Accessible.description: placeholderText

    // Left, the field shows its text from the start: still scrolled to where
    // the typing ended, a long entry would show a glyph cut in half at the edge.
    onActiveFocusChanged: if (!activeFocus) cursorPosition = 0

    T.Label {
        id: placeholder

        x: control.leftPadding
        y: control.topPadding
        width: control.width - (control.leftPadding + control.rightPadding)
        height: control.height - (control.topPadding + control.bottomPadding)
        text: control.placeholderText
        font: control.font
        color: control.placeholderTextColor
        verticalAlignment: control.verticalAlignment
        elide: Text.ElideRight
        visible: !control.length && !control.preeditText
        Accessible.ignored: true
    }

    background: Rectangle {
        radius: 12
        color: Theme.fieldFill
        // A 1-point outline centred on the edge: half of it falls outside.
        border.width: 1
        border.color: Theme.fieldOutline
    }
}
