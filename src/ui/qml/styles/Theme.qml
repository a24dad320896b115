// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton

import QtQuick
import Nimbrel

// The colours and sizes every screen uses, named once. Text sizes are in
// device-independent pixels, so they stay crisp and proportionate on HiDPI screens.
QtObject {
    // The palette, as exact sRGB components, all opaque.
    readonly property color primaryBlue: Qt.rgba(0.2, 0.4, 0.8, 1)
    readonly property color darkGrey: Qt.rgba(0.15, 0.15, 0.2, 1)
    readonly property color mediumGrey: Qt.rgba(0.25, 0.25, 0.3, 1)
    readonly property color lightGrey: Qt.rgba(0.9, 0.9, 0.95, 1)
    readonly property color accentRed: Qt.rgba(0.9, 0.3, 0.3, 1)
    readonly property color accentGreen: Qt.rgba(0.3, 0.8, 0.4, 1)

    // The monitor button's fills. White on the palette's green is 2.07:1 and on
    // its red 3.80:1; when the desktop asks for high contrast these darker
    // ones take their place: white on them at least 4.5:1, the focus ring
    // still at least 3:1.
    readonly property bool highContrast: ContrastPreference.high
    readonly property color highContrastGreen: "#1e7d37"
    readonly property color highContrastRed: "#c82828"
    readonly property color startFill: highContrast ? highContrastGreen : accentGreen
    readonly property color stopFill: highContrast ? highContrastRed : accentRed

    // Text fields: a light fill inside a thin outline.
    readonly property color fieldFill: Qt.rgba(0.95, 0.95, 0.98, 1)
    readonly property color fieldOutline: Qt.rgba(0.8, 0.8, 0.85, 1)
    // A scroll bar's thumb, with at least 3:1 contrast against the light
    // cards it runs over; mediumGrey while pressed.
    readonly property color scrollThumb: Qt.rgba(0.4, 0.4, 0.45, 1)

    // The keyboard focus ring, drawn clear of the control. This navy keeps at
    // least 3:1 contrast against every focusable control's fill and every
    // background the controls sit on.
    readonly property color focusRingColor: "#08183c"
    readonly property int focusRingWidth: 2
    readonly property int focusRingGap: 2

    // Wide and tiled windows keep the screens' content this wide, centred.
    readonly property int maximumContentWidth: 720

    readonly property int standardPadding: 16
    readonly property int defaultSpacing: 8

    readonly property int titleSize: 26
    readonly property int title2Size: 20
    readonly property int title3Size: 18
    readonly property int headlineSize: 16
    readonly property int bodySize: 15
    readonly property int subheadlineSize: 13
    readonly property int captionSize: 12
}
