import QtQuick
import QtQuick.Shapes
import Nimbrel

// One application window: the gradient, then the verification screen until the
// interviewer's address is verified and the dashboard from then on. The switch
// is a 0.3 s ease-in-out cross-fade; the verification screen is then gone for good.
Window {
    id: window

    required property ContentView view

    // Asks the application for another, independent window (Ctrl+N).
    signal newWindowRequested
    // Asks the application to end, each window the orderly way (Ctrl+Q).
    signal quitRequested

    readonly property int fadeDuration: 300

    title: "Nimbrel"
    width: 640
    height: 760
    minimumWidth: 420
    // Room for the whole verification card at any width; the dashboard scrolls its list.
    minimumHeight: verification.item ? Math.ceil(verification.item.implicitHeight) : 480
    color: view.lightGrey
    visible: true

    Shortcut {
        sequence: StandardKey.New
        onActivated: window.newWindowRequested()
    }

    Shortcut {
        sequence: StandardKey.Quit
        onActivated: window.quitRequested()
    }

    Shape {
        anchors.fill: parent

        ShapePath {
            strokeWidth: -1
            fillGradient: LinearGradient {
                x1: 0
                y1: 0
                x2: window.width
                y2: window.height

                GradientStop {
                    position: 0
                    color: window.view.lightGrey
                }
                GradientStop {
                    position: 1
                    color: "white"
                }
            }

            PathLine { x: window.width; y: 0 }
            PathLine { x: window.width; y: window.height }
            PathLine { x: 0; y: window.height }
            PathLine { x: 0; y: 0 }
        }
    }

    Loader {
        id: verification

        objectName: "verificationScreen"
        anchors.fill: parent
        // Destroyed once faded out: nothing can bring it back or give it focus.
        active: opacity > 0
        enabled: !window.view.isVerified
        opacity: window.view.isVerified ? 0 : 1
        focus: !window.view.isVerified

        Behavior on opacity {
            NumberAnimation {
                duration: window.fadeDuration
                easing.type: Easing.InOutQuad
            }
        }

        sourceComponent: VerificationScreen {
            view: window.view
        }
    }

    Loader {
        id: dashboard

        objectName: "dashboardScreen"
        anchors.fill: parent
        active: window.view.isVerified
        opacity: window.view.isVerified ? 1 : 0
        focus: window.view.isVerified

        Behavior on opacity {
            NumberAnimation {
                duration: window.fadeDuration
                easing.type: Easing.InOutQuad
            }
        }

        // By file, not as an inline component: the dashboard's QML is compiled
        // only when the Loader becomes active, not before the window's first
        // frame. Until then the inactive Loader just keeps source and properties.
        Component.onCompleted: setSource("Dashboard.qml", {
            "view": window.view
        })
    }
}
