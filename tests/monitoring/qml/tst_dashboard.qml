import QtQuick
import QtTest
import Nimbrel

Item {
    id: root

    width: 640
    height: 760

    Component {
        id: dashboardComponent

        Dashboard {
            anchors.fill: parent
        }
    }

    TestCase {
        name: "Dashboard"
        when: windowShown

        property var view
        property var dashboard

        function init() {
            view = fixture.createView();
            dashboard = createTemporaryObject(dashboardComponent, root, { "view": view });
        }

        // Every visible text under the item.
        function visibleTexts(item) {
            let texts = item.visible && typeof item.text === "string" && item.text ? [item.text] : [];
            for (let i = 0; item.visible && i < item.children.length; ++i)
                texts = texts.concat(visibleTexts(item.children[i]));
            return texts;
        }

        function test_detectionsCardAppearsWithFirstEntry() {
            verify(!findChild(dashboard, "detectionsCard").visible);
            const line = "🚨 CLUELY DETECTED - Process: <b>cluely</b> & co";
            fixture.logDetections(view, [line]);
            verify(findChild(dashboard, "detectionsCard").visible);
            const list = findChild(dashboard, "detectionsList");
            tryVerify(() => list.count === 1 && list.itemAtIndex(0) !== null);
            const texts = visibleTexts(list.itemAtIndex(0));
            verify(texts.indexOf(line) >= 0, "line shown verbatim: " + texts);
            const caption = "Detected at " + fixture.entryTime(view, 0).toLocaleString(Qt.locale(), Locale.ShortFormat);
            verify(texts.indexOf(caption) >= 0, caption + " in " + texts);
        }

        function test_longLogScrollsInsideCappedList() {
            const entries = 80;
            fixture.logDetections(view, Array.from({ length: entries }, (_, i) => "Process: p" + i));
            const list = findChild(dashboard, "detectionsList");
            compare(list.count, entries);
            waitForRendering(list);
            verify(list.height <= 200 && list.height > 100, "list height " + list.height);
            // Rows exist only for the visible part of the log, oldest first.
            verify(list.contentItem.children.length < entries / 2, "rows: " + list.contentItem.children.length);
            compare(list.itemAtIndex(0).name, "Process: p0");
            verify(list.itemAtIndex(1).y > list.itemAtIndex(0).y, "oldest first");
        }

        function test_buttonsFollowMonitoring() {
            const monitor = findChild(dashboard, "monitorButton");
            const manual = findChild(dashboard, "manualScanButton");
            for (const on of [false, true, false]) {
                if (view.isMonitoring !== on)
                    mouseClick(monitor);
                compare(view.isMonitoring, on);
                compare(monitor.text, on ? "Stop Monitor" : "Start Monitor");
                compare(monitor.fillColor, on ? view.accentRed : view.accentGreen);
                compare(manual.text, "Manual Scan");
                compare(manual.fillColor, view.primaryBlue);
            }
        }

        function test_dotPulsesOnlyWhileMonitoring() {
            const dot = findChild(dashboard, "statusDot");
            compare(dot.color, view.mediumGrey);
            wait(1200); // idle: grey at full size however long it is shown
            compare(dot.scale, 1.0);
            view.toggleMonitoring();
            compare(dot.color, view.accentGreen);
            tryVerify(() => dot.scale > 1.1, 1500, "dot grows while monitoring");
            tryVerify(() => dot.scale < 1.05, 1500, "and shrinks back");
            view.toggleMonitoring();
            compare(dot.color, view.mediumGrey);
            tryCompare(dot, "scale", 1.0, 1500);
            wait(1100);
            compare(dot.scale, 1.0);
        }

        // Each step of the pulse repaints the dot; twenty a second look smooth
        // on a dot this small, and an animation at the display's rate would
        // make about sixty.
        function test_pulseStepsAtMostTwentyTimesASecond() {
            const dot = findChild(dashboard, "statusDot");
            let scales = [];
            const record = () => scales.push(dot.scale);
            dot.scaleChanged.connect(record);
            view.toggleMonitoring();
            wait(1000);
            dot.scaleChanged.disconnect(record);
            view.toggleMonitoring();
            verify(scales.length <= 22, `${scales.length} steps in a second`);
            verify(scales.length >= 3, `${scales.length} steps in a second`);
            verify(scales.every(scale => scale >= 1.0 && scale <= 1.2), scales.join(" "));
        }
    }
}
