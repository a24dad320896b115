// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// One glyph of the embedded Material Icons font, named by role.
//
//     MaterialIcon { symbol: "mail"; color: "white"; font.pixelSize: 18 }
//
// Glyphs are addressed by code point rather than ligature, so rendering never
// depends on text shaping and screen readers never read a ligature's name.
Text {
    id: icon

    required property string symbol

    readonly property var codePoints: ({
            "security": "\ue32a",
            "shield": "\ue9e0",
            "verified_user": "\ue8e8",
            "remove_moderator": "\ue9d4",
            "mail": "\ue158",
            "check_circle": "\ue86c",
            "cancel": "\ue5c9",
            "info": "\ue88e",
            "warning": "\ue002",
            // The font's own "radar" reads as an "@" at text sizes; this is
            // the classic sweep over rings.
            "radar": "\ue8e1",
            "circle": "\uef4a",
            "search": "\ue8b6",
            "play_circle": "\ue1c4",
            "stop_circle": "\uef71"
        })

    text: codePoints[symbol] ?? ""
    font.family: iconFont.name
    textFormat: Text.PlainText
    Accessible.ignored: true

    FontLoader {
        id: iconFont

        // Loaded once per process: FontLoader caches fonts by source.
        source: "qrc:/Nimbrel/fonts/MaterialIcons-Regular.ttf"
    }
}
