// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Nimbrel

// Every detection so far, oldest first, in a list that scrolls once it is
// 200 points high. Rows are built only for the visible part of the log.
Rectangle {
    id: card

    required property DetectionLog detections

    readonly property int maximumListHeight: 200
    // Whether the screen around the card scrolls too. Then the list's bar
    // shows only while the list is in use (focused or under the pointer) and
    // the screen's the rest of the time: never two bars at once.
    property bool screenScrolls: false
    readonly property bool listBarShown: scrollBar.visible

    implicitHeight: content.implicitHeight + 2 * Theme.standardPadding
    radius: 15
    color: Qt.rgba(Theme.accentRed.r, Theme.accentRed.g, Theme.accentRed.b, 0.05)
    border.width: 1
    border.color: Qt.rgba(Theme.accentRed.r, Theme.accentRed.g, Theme.accentRed.b, 0.2)

    ColumnLayout {
        id: content

        anchors.fill: parent
        anchors.margins: Theme.standardPadding
        spacing: 15

        RowLayout {
            spacing: Theme.defaultSpacing

            MaterialIcon {
                symbol: "warning"
                color: Theme.accentRed
                font.pixelSize: Theme.headlineSize
            }

            Text {
                text: "Detected Processes"
                color: Theme.darkGrey
                font.pixelSize: Theme.headlineSize
                font.bold: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
        }

        // Tab reaches the list; the arrow keys, Page Up/Down and Home/End move
        // through the rows, and the row moved to takes the focus, so a screen
        // reader reads its line and time.
        ListView {
            id: list

            readonly property int ringRoom: Theme.focusRingGap + Theme.focusRingWidth

            objectName: "detectionsList"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight + topMargin + bottomMargin,
                                             card.maximumListHeight)
            // Room for the focused row's ring inside the clipped area.
            topMargin: ringRoom
            bottomMargin: ringRoom
            clip: true
            spacing: 12
            model: card.detections
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationEnabled: true
            Accessible.role: Accessible.List
            Accessible.name: "Detected Processes"
            // Only the rows in sight exist: say how many there are in all.
            Accessible.description: model.count === 1 ? "1 detection" : model.count + " detections"

            onActiveFocusChanged: {
                if (activeFocus && currentIndex < 0)
                    currentIndex = 0;
            }
            onCurrentIndexChanged: revealCurrent()
            // The focus goes from row to row directly: a binding on the rows'
            // focus would clear the old row's first and pass it through the
            // list, two more focus changes for a screen reader to speak.
            onCurrentItemChanged: {
                if (currentItem)
                    currentItem.focus = true;
            }

            // A new row's text wraps only once it is laid out: keep it whole.
            Connections {
                target: list.currentItem

                function onHeightChanged() {
                    list.revealCurrent();
                }
            }

            // Shows the current row whole with its focus ring, which lies
            // outside the row: Contain alone leaves the ring of the first and
            // the last row under the margins, clipped.
            function revealCurrent() {
                positionViewAtIndex(currentIndex, ListView.Contain);
                if (!currentItem)
                    return;
                const top = currentItem.y - ringRoom;
                const bottom = currentItem.y + currentItem.height + ringRoom;
                if (bottom > contentY + height)
                    contentY = bottom - height;
                else if (top < contentY)
                    contentY = top;
            }

            // Rows that fit the visible height, for Page Up and Page Down.
            function rowsPerPage() {
                const row = currentItem ? currentItem.height + spacing : height;
                return Math.max(1, Math.floor(height / row));
            }

            Keys.onPressed: event => {
                switch (event.key) {
                case Qt.Key_Home:
                    currentIndex = 0;
                    break;
                case Qt.Key_End:
                    currentIndex = count - 1;
                    break;
                case Qt.Key_PageUp:
                    currentIndex = Math.max(0, currentIndex - rowsPerPage());
                    break;
                case Qt.Key_PageDown:
                    currentIndex = Math.min(count - 1, currentIndex + rowsPerPage());
                    break;
                default:
                    return;
                }
                event.accepted = true;
            }

            HoverHandler {
                id: listHover
            }

            ScrollBar.vertical: ModernScrollBar {
                id: scrollBar

                visible: needed && (!card.screenScrolls || list.activeFocus || listHover.hovered)
                Accessible.name: "Detected Processes"
            }

            delegate: DetectionRow {
                x: list.ringRoom
                // Rows leave room for the scroll bar rather than run under it.
                width: list.width - 2 * list.ringRoom - (scrollBar.needed ? scrollBar.width : 0)
            }
        }
    }
}
