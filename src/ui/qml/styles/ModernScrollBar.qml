// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Nimbrel

// A scroll bar whose thumb can be seen and grabbed: 8 px wide, at least 24 px
// long, in Theme's thumb grey. Shown only while there is something to scroll.
//
//     ScrollBar.vertical: ModernScrollBar { Accessible.name: "Detected Processes" }
T.ScrollBar {
    id: control

    readonly property bool needed: size < 1.0
    readonly property int thumbWidth: 8
    readonly property int minimumThumbLength: 24

    implicitWidth: thumbWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    padding: 2
    visible: needed
    minimumSize: availableHeight > 0 ? Math.min(1, minimumThumbLength / availableHeight) : 0
    policy: T.ScrollBar.AlwaysOn
    // The list it scrolls takes the focus, never the bar.
    Accessible.focusable: false

    contentItem: Rectangle {
        objectName: "scrollThumb"
        implicitWidth: control.thumbWidth
        implicitHeight: control.minimumThumbLength
        radius: width / 2
        color: control.pressed ? Theme.mediumGrey : Theme.scrollThumb
    }
}
