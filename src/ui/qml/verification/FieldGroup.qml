import QtQuick
import QtQuick.Layouts
import Nimbrel

// A label above a styled text field. Every keystroke goes straight to the
// owner through `edited`; Return does nothing.
ColumnLayout {
    id: group

    required property ContentView view
    required property string label
    required property string placeholder
    required property string value

    property alias field: field

    signal edited(string text)

    spacing: 8

    Text {
        text: group.label
        color: group.view.mediumGrey
        font.pixelSize: Theme.subheadlineSize
        font.weight: Font.Medium
        Accessible.ignored: true
    }

    ModernTextField {
        id: field

        Layout.fillWidth: true
        placeholderText: group.placeholder
        text: group.value
        onTextEdited: group.edited(text)
        Accessible.name: group.label
    }
}
