import QtQuick
import Nimbrel

// Green and pulsing while monitoring, grey at rest otherwise. The pulse timer
// lives with the dot, so it runs exactly as long as the dashboard is shown.
Rectangle {
    id: dot

    required property ContentView view

    implicitWidth: 12
    implicitHeight: 12
    radius: width / 2
    color: view.isMonitoring ? view.accentGreen : view.mediumGrey
    scale: view.animationScale
    Accessible.ignored: true

    Behavior on scale {
        NumberAnimation {
            duration: dot.view.isMonitoring ? 500 : 200
            easing.type: Easing.InOutQuad
        }
    }

    Timer {
        interval: 500
        repeat: true
        running: true
        onTriggered: dot.view.pulseStatusIndicator()
    }
}
