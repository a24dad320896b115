pragma Singleton

import QtQuick

// Sizes shared by every screen, named once. Text sizes are in device-independent
// pixels, so they stay crisp and proportionate on HiDPI screens.
QtObject {
    readonly property int standardPadding: 16
    readonly property int defaultSpacing: 8

    readonly property int titleSize: 26
    readonly property int title2Size: 20
    readonly property int title3Size: 18
    readonly property int headlineSize: 16
    readonly property int bodySize: 15
    readonly property int subheadlineSize: 13
    readonly property int captionSize: 12

    // The keyboard focus ring, drawn clear of the control. This navy keeps at
    // least 3:1 contrast against every focusable control's fill and every
    // background the controls sit on.
    readonly property color focusRingColor: "#08183c"
    readonly property int focusRingWidth: 2
    readonly property int focusRingGap: 2
}
