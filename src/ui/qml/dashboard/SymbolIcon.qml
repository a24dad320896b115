import QtQuick

// One Material Icons glyph, named by its ligature.
Text {
    required property string symbol

    text: symbol
    font.family: "Material Icons"
    textFormat: Text.PlainText
    Accessible.ignored: true
}
