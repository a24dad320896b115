// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import QtQuick.Controls.Basic
import Nimbrel

Item {
    id: root

    width: 640
    height: 760

    // The window at its minimum size.
    Component {
        id: smallWindowComponent

        Item {
            width: 420
            height: 490
            clip: true
        }
    }

    Component {
        id: dashboardComponent

        Dashboard {
            anchors.fill: parent
        }
    }

    TestCase {
        name: "Dashboard"
        when: windowShown

        property var session
        property var dashboard

        function init() {
            session = fixture.createSession();
            dashboard = createTemporaryObject(dashboardComponent, root, { "session": session });
        }

        // Every visible text under the item.
        function visibleTexts(item) {
            let texts = item.visible && typeof item.text === "string" && item.text ? [item.text] : [];
            for (let i = 0; item.visible && i < item.children.length; ++i)
                texts = texts.concat(visibleTexts(item.children[i]));
            return texts;
        }

        function test_listKeys_data() {
            return [
                { tag: "Down", keys: [Qt.Key_Down, Qt.Key_Down], row: 2 },
                { tag: "Up stops at the top", keys: [Qt.Key_Down, Qt.Key_Up, Qt.Key_Up], row: 0 },
                { tag: "End", keys: [Qt.Key_End], row: 79 },
                { tag: "Down stops at the end", keys: [Qt.Key_End, Qt.Key_Down], row: 79 },
                { tag: "Home", keys: [Qt.Key_End, Qt.Key_Home], row: 0 },
                { tag: "Page Down", keys: [Qt.Key_PageDown], page: 1 },
                { tag: "Page Up", keys: [Qt.Key_PageDown, Qt.Key_PageDown, Qt.Key_PageUp], page: 1 },
                { tag: "Page Up stops at the top", keys: [Qt.Key_PageDown, Qt.Key_PageUp, Qt.Key_PageUp], row: 0 },
                { tag: "Page Down stops at the end", keys: Array(40).fill(Qt.Key_PageDown), row: 79 }
            ];
        }

        // The keyboard scrolls the list: the row moved to takes the focus with
        // its ring, is shown whole, and tells a screen reader its line and time.
        function test_listKeys(data) {
            fixture.logDetections(session, Array.from({ length: 80 }, (_, i) => "Process: p" + i));
            const list = findChild(dashboard, "detectionsList");
            waitForRendering(list);
            list.forceActiveFocus();
            compare(list.currentIndex, 0);
            const perPage = list.rowsPerPage();
            verify(perPage >= 2, "a page holds " + perPage + " rows");
            let focused = [];
            const record = () => focused.push(list.Window.activeFocusItem);
            list.Window.activeFocusItemChanged.connect(record);
            for (const key of data.keys)
                keyClick(key);
            list.Window.activeFocusItemChanged.disconnect(record);
            verify(focused.every(item => item !== list), "the focus went from row to row");
            const row = data.row !== undefined ? data.row : data.page * perPage;
            compare(list.currentIndex, row);
            const item = list.itemAtIndex(row);
            verify(item.activeFocus && item.Accessible.selected, "the row has the focus, selected");
            verify(Array.from(item.children).find(c => String(c).startsWith("FocusRing")).visible,
                   "the row's focus ring shows");
            compare(item.Accessible.name, "Process: p" + row + ", " + item.detectedAt);
            waitForRendering(list);
            const top = item.mapToItem(list, 0, 0).y;
            verify(top >= list.ringRoom && top + item.height + list.ringRoom <= list.height,
                   "row shown whole with its ring: " + top);
        }

        // The card appears with the first entry, its line verbatim and when it
        // was logged. The list says how long it is, since only rows in sight
        // exist, oldest first; past 200 points it scrolls, with a thumb easy to
        // see and to grab.
        function test_detectionsList() {
            const card = findChild(dashboard, "detectionsCard");
            const list = findChild(dashboard, "detectionsList");
            const bar = list.ScrollBar.vertical;
            verify(!card.visible);
            const line = "🚨 CLUELY DETECTED - Process: <b>cluely</b> & co";
            fixture.logDetections(session, [line]);
            verify(card.visible);
            compare(list.Accessible.description, "1 detection");
            tryVerify(() => list.itemAtIndex(0) !== null);
            const texts = visibleTexts(list.itemAtIndex(0));
            verify(texts.indexOf(line) >= 0, "line shown verbatim: " + texts);
            const caption = "Detected at " + fixture.entryTime(session, 0).toLocaleString(Qt.locale(), Locale.ShortFormat);
            verify(texts.indexOf(caption) >= 0, caption + " in " + texts);
            compare(list.itemAtIndex(0).Accessible.name, "Cluely detected — Process: <b>cluely</b> & co, " + caption);
            verify(!bar.visible, "nothing to scroll");

            fixture.logDetections(session, Array.from({ length: 500 }, (_, i) => "Process: p" + i));
            compare(list.Accessible.description, "501 detections");
            waitForRendering(list);
            verify(list.height <= 200 && list.height > 100, "list height " + list.height);
            verify(list.contentItem.children.length < 50, "rows: " + list.contentItem.children.length);
            compare(list.itemAtIndex(1).name, "Process: p0");
            verify(list.itemAtIndex(2).y > list.itemAtIndex(1).y, "oldest first");
            verify(bar.visible);
            compare(bar.Accessible.name, "Detected Processes");
            const thumb = findChild(bar, "scrollThumb");
            verify(thumb.width >= 8 && thumb.height >= 24, `thumb ${thumb.width}x${thumb.height}`);
        }

        // The status card speaks a scan's result when it differs from the last
        // one spoken: not "Scanning...", not every tick's same result.
        function test_scanResultsAreAnnounced() {
            const announcement = findChild(dashboard, "scanStatusAnnouncement");
            let spoken = [];
            const speak = () => { if (announcement.visible) spoken.push(announcement.Accessible.name); };
            announcement.visibleChanged.connect(speak);
            session.performScan();
            tryCompare(session, "scanStatus", "No suspicious processes found.");
            session.performScan();
            tryCompare(session, "scanStatus", "No suspicious processes found.");
            fixture.logDetections(session, ["Process: a"]);
            fixture.logDetections(session, ["Process: a"]);
            announcement.visibleChanged.disconnect(speak);
            compare(spoken, ["No suspicious processes found.", "Suspicious processes detected."]);
        }

        // Under the header: to whom reports go, the address masked, and how the
        // last e-mail fared; only a failure is spoken.
        function test_reportingLine() {
            compare(findChild(dashboard, "reportingTo").text, "Reporting to i•••@example.com");
            const outcome = findChild(dashboard, "lastEmailOutcome");
            const announcement = findChild(dashboard, "lastEmailAnnouncement");
            verify(!outcome.visible, "no outcome before the first e-mail");
            let spoken = [];
            const speak = () => { if (announcement.visible) spoken.push(announcement.Accessible.name); };
            announcement.visibleChanged.connect(speak);
            const refused = "the e-mail service answered 403 (the API key was refused)";
            for (const success of [false, false, true]) {
                session.toggleMonitoring();
                fixture.finishLastEmail(success, refused);
                tryVerify(() => outcome.visible && outcome.text.startsWith("Last e-mail "
                                                                           + (success ? "sent at " : "not sent: ")));
            }
            announcement.visibleChanged.disconnect(speak);
            verify(/^Last e-mail sent at \d/.test(outcome.text), outcome.text);
            compare(spoken, Array(2).fill("Last e-mail not sent: " + refused));
        }

        // In a window shorter than the dashboard the whole screen scrolls, by
        // the wheel and always far enough to show the focused control with its ring.
        function test_shortWindowScrollsToTheFocus() {
            dashboard.visible = false; // out of the Tab chain
            const small = createTemporaryObject(smallWindowComponent, root);
            const shortOne = createTemporaryObject(dashboardComponent, small, { "session": session });
            fixture.logDetections(session, Array.from({ length: 30 }, (_, i) => "Process: p" + i));
            const scroller = findChild(shortOne, "dashboardScroller");
            waitForRendering(shortOne);
            verify(scroller.contentHeight > small.height, "content " + scroller.contentHeight);
            shortOne.forceActiveFocus();
            const inSight = item => {
                const box = item.mapToItem(small, 0, 0, item.width, item.height);
                return box.y >= 4 && box.y + box.height <= small.height - 4;
            };
            const list = findChild(shortOne, "detectionsList");
            const bars = [scroller.ScrollBar.vertical, list.ScrollBar.vertical];
            for (const key of [Qt.Key_Tab, Qt.Key_Tab, Qt.Key_End, Qt.Key_Home, Qt.Key_PageDown]) {
                keyClick(key);
                const focused = shortOne.Window.activeFocusItem;
                tryVerify(() => inSight(focused), 2000, "focused item in sight after key " + key);
                compare(bars.map(bar => bar.visible), [!list.activeFocus, list.activeFocus], "one bar");
            }
            const scrolled = scroller.contentY;
            verify(scrolled > 0, "scrolled to the focus");
            mouseWheel(scroller, 4, small.height / 2, 0, 120); // beside the list, not over it
            tryVerify(() => scroller.contentY < scrolled, 2000, "the wheel scrolls back up");
            keyClick(Qt.Key_Tab); // back round to the top
            const manual = findChild(shortOne, "manualScanButton");
            verify(manual.activeFocus);
            tryVerify(() => inSight(manual), 2000, "Manual Scan in sight again");
        }

        // The dot pulses between 100 % and 120 % only while monitoring, in steps
        // twenty times a second: they look smooth on a dot this small, and each
        // repaints it, where an animation at the display's rate would make sixty.
        function test_dotPulsesOnlyWhileMonitoring() {
            const dot = findChild(dashboard, "statusDot");
            compare(dot.color, Theme.mediumGrey);
            wait(1200); // idle: grey at full size however long it is shown
            compare(dot.scale, 1.0);
            let scales = [];
            const record = () => scales.push(dot.scale);
            dot.scaleChanged.connect(record);
            const started = Date.now();
            session.toggleMonitoring();
            compare(dot.color, Theme.accentGreen);
            tryVerify(() => scales.some(scale => scale > 1.1), 1500, "dot grows while monitoring");
            const grown = scales.findIndex(scale => scale > 1.1);
            tryVerify(() => scales.slice(grown).some(scale => scale < 1.05), 1500, "and shrinks back");
            dot.scaleChanged.disconnect(record);
            const steps = 20 * (Date.now() - started) / 1000 + 2;
            verify(scales.length <= steps, `${scales.length} steps, at most ${steps}`);
            verify(scales.every(scale => scale >= 1.0 && scale <= 1.2), scales.join(" "));
            session.toggleMonitoring();
            compare(dot.color, Theme.mediumGrey);
            tryCompare(dot, "scale", 1.0, 1500);
            wait(1100);
            compare(dot.scale, 1.0);
        }
    }
}
