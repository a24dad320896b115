import QtQuick
import Nimbrel

// Green and pulsing while monitoring, grey at rest otherwise. The pulse timer
// lives with the dot, so it runs exactly as long as the dashboard is shown.
//
// Each change of the scale is eased in-out over 0.5 s while monitoring and
// 0.2 s otherwise, in steps twenty times a second rather than at the
// display's frame rate: on a dot this small each step moves its edge by at
// most a third of a pixel, and each step costs one repaint of the dot alone.
Rectangle {
    id: dot

    required property ContentView view

    readonly property real targetScale: view.animationScale
    property real startScale: 1.0
    property real startedAt: 0
    readonly property int duration: view.isMonitoring ? 500 : 200

    implicitWidth: 12
    implicitHeight: 12
    radius: width / 2
    color: view.isMonitoring ? view.accentGreen : view.mediumGrey
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
        onTriggered: dot.view.pulseStatusIndicator()
    }
}
