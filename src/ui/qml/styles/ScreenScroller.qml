// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Nimbrel

// A whole screen's content that scrolls when the window is shorter than it,
// and scrolls the control with the keyboard focus into sight. The content
// fills at least the window's height, so spacers in it still centre it.
//
//     ScreenScroller {
//         anchors.fill: parent
//         contentHeight: Math.max(height, column.implicitHeight)
//         ColumnLayout { id: column; width: parent.width; height: parent.height ... }
//     }
Flickable {
    id: scroller

    // Names the scroll bar for assistive technology.
    property string name
    // False while a scroll bar inside the screen shows: one bar at a time.
    property bool barAllowed: true

    // The focus ring, and a little air, stays in sight too.
    readonly property int revealMargin: 2 * (Theme.focusRingGap + Theme.focusRingWidth)

    contentWidth: width
    boundsBehavior: Flickable.StopAtBounds
    interactive: contentHeight > height

    T.ScrollBar.vertical: ModernScrollBar {
        visible: needed && scroller.barAllowed
        Accessible.name: scroller.name
    }

    // Scrolls just enough to show the item whole, if it lies in this screen.
    function reveal(item) {
        let ancestor = item;
        while (ancestor && ancestor !== contentItem)
            ancestor = ancestor.parent;
        if (!ancestor || contentHeight <= height)
            return;
        const box = item.mapToItem(contentItem, 0, 0, item.width, item.height);
        const top = box.y - revealMargin;
        const bottom = box.y + box.height + revealMargin;
        if (bottom > contentY + height)
            contentY = Math.min(contentHeight - height, bottom - height);
        if (top < contentY)
            contentY = Math.max(0, top);
    }

    function revealFocus() {
        if (Window.activeFocusItem)
            reveal(Window.activeFocusItem);
    }

    // An item that just appeared or grew, such as a new message, is placed by
    // the layout only later: it is brought into sight now and again once the
    // content's height follows; the focus keeps the last word.
    property Item pendingReveal: null

    function revealWhenPlaced(item) {
        pendingReveal = item;
        Qt.callLater(revealPending);
    }

    function revealPending() {
        if (pendingReveal)
            reveal(pendingReveal);
        revealFocus();
    }

    onContentHeightChanged: Qt.callLater(revealPending)
    onMovementStarted: pendingReveal = null

    Connections {
        target: scroller.Window.window

        function onActiveFocusItemChanged() {
            if (scroller)
                Qt.callLater(scroller.revealFocus);
        }
    }

    // A focused item that grows (a list row whose text wraps once laid out).
    Connections {
        target: scroller.Window.activeFocusItem

        function onHeightChanged() {
            if (scroller)
                Qt.callLater(scroller.revealFocus);
        }
    }
}
