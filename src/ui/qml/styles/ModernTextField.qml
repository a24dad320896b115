import QtQuick
import QtQuick.Templates as T

// The text field look: plain text on a light, outlined, 12-point rounded box.
//
//     ModernTextField {
//         placeholderText: "Enter email address"
//         text: view.interviewerEmail
//         onTextEdited: view.interviewerEmail = text
//         Accessible.name: "Interviewer Email"
//     }
//
// Any text of any length is accepted; text wider than the field scrolls inside it.
T.TextField {
    id: control

    readonly property color fillColor: Qt.rgba(0.95, 0.95, 0.98, 1.0)
    readonly property color outlineColor: Qt.rgba(0.8, 0.8, 0.85, 1.0)
    readonly property color textColor: Qt.rgba(0.15, 0.15, 0.2, 1.0)
    readonly property color placeholderColor: Qt.rgba(0.15, 0.15, 0.2, 0.45)

    // Not the text's width: a long entry scrolls inside instead of widening the layout.
    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            placeholder.implicitWidth + leftPadding + rightPadding, 200)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             contentHeight + topPadding + bottomPadding,
                             placeholder.implicitHeight + topPadding + bottomPadding)

    padding: Theme.standardPadding
    clip: true
    font.pixelSize: Theme.bodySize
    color: textColor
    selectionColor: Qt.rgba(0.2, 0.4, 0.8, 0.35)
    selectedTextColor: textColor
    placeholderTextColor: placeholderColor
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    Accessible.description: placeholderText

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
        color: control.fillColor
        // A 1-point outline centred on the edge: half of it falls outside.
        border.width: 1
        border.color: control.outlineColor
    }
}
