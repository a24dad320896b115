// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// A symbol cut out of a filled circle, matching the font's own circled
// symbols (play_circle, stop_circle) for a symbol that has no circled form.
//
//     CircledIcon { symbol: "search"; color: "white"; cutoutColor: fill; pixelSize: 20 }
Item {
    id: icon

    required property string symbol
    required property color color
    // The colour behind the icon, which the cut-out shows.
    required property color cutoutColor
    required property int pixelSize

    implicitWidth: circle.implicitWidth
    implicitHeight: circle.implicitHeight

    MaterialIcon {
        id: circle

        symbol: "circle"
        color: icon.color
        font.pixelSize: icon.pixelSize
    }

    MaterialIcon {
        anchors.centerIn: circle
        symbol: icon.symbol
        color: icon.cutoutColor
        // The font's circled symbols fill about 55 % of the circle.
        font.pixelSize: Math.round(icon.pixelSize * 0.55)
    }
}
