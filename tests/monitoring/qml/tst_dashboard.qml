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

    // The way a window shows the dashboard: in a focused Loader.
    Loader {
        id: screenLoader

        anchors.fill: parent
        active: false
        focus: true

        sourceComponent: Dashboard {
            view: testCase.view
        }
    }

    TestCase {
        id: testCase

        name: "Dashboard"
        when: windowShown

        property var view

        function makeDashboard() {
            view = fixture.createView();
            const dashboard = createTemporaryObject(dashboardComponent, root, {
                    "view": view
                });
            verify(dashboard, "dashboard created");
            return dashboard;
        }

        function part(dashboard, objectName) {
            const item = findChild(dashboard, objectName);
            verify(item, objectName + " found");
            return item;
        }

        // Every visible text on the dashboard, for checks of what it never shows.
        function visibleTexts(item) {
            let texts = [];
            if (!item.visible)
                return texts;
            if (item.text !== undefined && typeof item.text === "string" && item.text.length > 0)
                texts.push(item.text);
            for (let i = 0; i < item.children.length; ++i)
                texts = texts.concat(visibleTexts(item.children[i]));
            return texts;
        }

        function cleanup() {
            if (view && view.isMonitoring)
                view.toggleMonitoring();
        }

        function test_emptyLogShowsNoDetectionsCard() {
            const dashboard = makeDashboard();
            const card = part(dashboard, "detectionsCard");
            verify(!card.visible);
            verify(visibleTexts(dashboard).indexOf("Detected Processes") < 0);
            compare(part(dashboard, "scanStatusText").text, "Idle");
        }

        function test_firstDetectionShowsOneVerbatimRow() {
            const dashboard = makeDashboard();
            const line = "🚨 CLUELY DETECTED - Process: <b>cluely</b> & co";
            fixture.logDetections(view, [line]);

            const card = part(dashboard, "detectionsCard");
            verify(card.visible);
            const list = part(dashboard, "detectionsList");
            compare(list.count, 1);
            tryVerify(() => list.itemAtIndex(0) !== null);
            const row = list.itemAtIndex(0);
            const texts = visibleTexts(row);
            verify(texts.indexOf(line) >= 0, "line shown as plain text: " + texts);
            const caption = "Detected at " + fixture.entryTime(view, 0).toLocaleString(Qt.locale(), Locale.ShortFormat);
            verify(texts.indexOf(caption) >= 0, "caption " + caption + " in " + texts);
            verify(card.y > part(dashboard, "scanStatusCard").y, "card below the status card");
        }

        function test_longLogScrollsInsideCappedList() {
            const dashboard = makeDashboard();
            const entries = 80;
            let lines = [];
            for (let i = 0; i < entries; ++i)
                lines.push("Process: suspicious-" + i);
            fixture.logDetections(view, lines);

            const list = part(dashboard, "detectionsList");
            compare(list.count, entries);
            waitForRendering(list);
            verify(list.height <= 200, "list height " + list.height);
            verify(list.height > 100, "list uses its room: " + list.height);
            verify(list.contentHeight > list.height);
            compare(list.contentY, list.originY, "new rows do not scroll the list");

            // Rows exist only for the visible part of the log.
            verify(list.contentItem.children.length < entries / 2,
                "created rows: " + list.contentItem.children.length);
            compare(list.itemAtIndex(0).name, "Process: suspicious-0");
            verify(list.itemAtIndex(1).y > list.itemAtIndex(0).y, "oldest first");
            verify(list.itemAtIndex(entries - 1) === null);

            list.positionViewAtEnd();
            tryVerify(() => list.itemAtIndex(entries - 1) !== null);
            compare(list.itemAtIndex(entries - 1).name, "Process: suspicious-" + (entries - 1));

            // Appending more keeps the order and the cap.
            fixture.logDetections(view, ["Process: latest"]);
            compare(list.count, entries + 1);
            verify(list.height <= 200);
            verify(dashboard.implicitHeight < root.height, "window need not grow");
        }

        function test_monitorButtonFollowsState() {
            const dashboard = makeDashboard();
            const monitor = part(dashboard, "monitorButton");
            const manual = part(dashboard, "manualScanButton");

            compare(monitor.text, "Start Monitor");
            compare(monitor.symbol, "play_circle");
            compare(monitor.fillColor, view.accentGreen);
            compare(manual.text, "Manual Scan");
            compare(manual.fillColor, view.primaryBlue);

            mouseClick(monitor);
            verify(view.isMonitoring);
            compare(monitor.text, "Stop Monitor");
            compare(monitor.symbol, "stop_circle");
            compare(monitor.fillColor, view.accentRed);
            compare(manual.text, "Manual Scan");
            compare(manual.symbol, "search");
            compare(manual.fillColor, view.primaryBlue);
            compare(part(dashboard, "scanStatusText").text, "Monitoring started...");

            mouseClick(monitor);
            verify(!view.isMonitoring);
            compare(monitor.text, "Start Monitor");
            compare(monitor.fillColor, view.accentGreen);
            compare(fixture.sentSubjects().slice(-2), ["Nimbrel Monitoring Started", "Nimbrel Monitoring Stopped"]);
        }

        function test_manualScanButtonRunsScan() {
            const dashboard = makeDashboard();
            fixture.enqueueScan(["🚨 CLUELY DETECTED - App: Cluely"]);
            mouseClick(part(dashboard, "manualScanButton"));
            const status = part(dashboard, "scanStatusText");
            tryCompare(status, "text", "Suspicious processes detected.");
            verify(part(dashboard, "detectionsCard").visible);
            compare(part(dashboard, "detectionsList").count, 1);
            verify(!view.isMonitoring);
        }

        function test_keyboardPressesButtons() {
            view = fixture.createView();
            screenLoader.active = true;
            const dashboard = screenLoader.item;
            verify(dashboard);
            const manual = part(dashboard, "manualScanButton");
            const monitor = part(dashboard, "monitorButton");
            verify(manual.activeFocus, "manual scan has the initial focus");

            keyClick(Qt.Key_Space);
            tryCompare(view, "scanStatus", "No suspicious processes found.");

            keyClick(Qt.Key_Tab);
            verify(monitor.activeFocus);
            keyClick(Qt.Key_Return);
            verify(view.isMonitoring);
            keyClick(Qt.Key_Space);
            verify(!view.isMonitoring);
            screenLoader.active = false;
        }

        function test_dotPulsesOnlyWhileMonitoring() {
            const dashboard = makeDashboard();
            const dot = part(dashboard, "statusDot");
            compare(dot.color, view.mediumGrey);

            // Idle: grey at full size however long it is shown.
            wait(1200);
            compare(dot.scale, 1.0);
            compare(view.animationScale, 1.0);

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

        function test_statusCardFollowsTextLength() {
            const dashboard = makeDashboard();
            const card = part(dashboard, "scanStatusCard");
            const idleWidth = card.width;
            fixture.logDetections(view, ["App: Cluely"]);
            compare(part(dashboard, "scanStatusText").text, "Suspicious processes detected.");
            // Layouts settle on the next polish.
            tryVerify(() => card.width > idleWidth + 50, 1000, idleWidth + " -> " + card.width);
            verify(card.width < dashboard.width - 100, "not stretched to the window");
            fuzzyCompare(card.mapToItem(dashboard, card.width / 2, 0).x, dashboard.width / 2, 1);
        }

        function test_emailOutcomeNotShown() {
            const dashboard = makeDashboard();
            view.toggleMonitoring();
            fixture.failSends("Connection refused");
            tryCompare(view, "emailStatus", "✗ Failed to send monitoring status: Connection refused");
            const texts = visibleTexts(dashboard).join("\n");
            verify(texts.indexOf("Connection refused") < 0, texts);
            verify(texts.indexOf("✗") < 0, texts);
        }
    }
}
