// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// Green and pulsing while monitoring, grey at rest otherwise. The pulse timer
// lives with the dot, so it runs exactly as long as the dashboard is shown:
// every 0.5 s it flips the dot between 100 % and 120 % while monitoring, and
// settles it at 100 % otherwise.
//
// Each change of the scale is eased in-out over 0.5 s while monitoring and
// 0.2 s otherwise, in steps twenty times a second rather than at the
// display's frame rate: on a dot this small each step moves its edge by at
// most a third of a pixel, and each step costs one repaint of the dot alone.
Rectangle {
    id: dot

    required property bool monitoring

    property real targetScale: 1.0
    property real startScale: 1.0
    property real startedAt: 0
    readonly property int duration: monitoring ? 500 : 200

    implicitWidth: 12
    implicitHeight: 12
    radius: width / 2
    // Smooth at every scale of the pulse, not only at whole pixels.
    antialiasing: true
    color: monitoring ? Theme.accentGreen : Theme.mediumGrey
    scale: 1.0
    Accessible.ignored: true

    onTargetScaleChanged: {
        startScale = scale;
        startedAt = Date.now();
        step.restart();
    }

    function easeInOutQuad(t) {
        return t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t);
    }

    Timer {
        id: step

        interval: 50
        repeat: true
        onTriggered: {
            const t = Math.min(1, (Date.now() - dot.startedAt) / dot.duration);
            dot.scale = dot.startScale + (dot.targetScale - dot.startScale) * dot.easeInOutQuad(t);
            if (t === 1)
                stop();
        }
    }

    Timer {
        interval: 500
        repeat: true
        running: true
        onTriggered: dot.targetScale = dot.monitoring && dot.targetScale === 1.0 ? 1.2 : 1.0
    }
}
