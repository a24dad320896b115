// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Shapes
import Nimbrel

// One application window: the gradient, then the verification screen until the
// interviewer's address is verified and the dashboard from then on. The switch
// is a 0.3 s ease-in-out cross-fade; the verification screen is then gone for good.
Window {
    id: window

    required property VerificationFlow verification
    required property MonitoringSession monitoring

    // Asks the application for another, independent window (Ctrl+N).
    signal newWindowRequested
    // Asks the application to end, each window the orderly way (Ctrl+Q).
    signal quitRequested

    readonly property int fadeDuration: 300
    readonly property size preferredSize: Qt.size(640, 760)
    // Room for the window manager's frame around the window.
    readonly property int frameAllowance: 48

    title: "Nimbrel"
    minimumWidth: 420
    // Each screen scrolls when the window is shorter than its content.
    minimumHeight: 490
    color: Theme.lightGrey

    // The first size fits the screen's free area, down to the minimum size;
    // set once before the window shows, so later resizing stays the user's.
    Component.onCompleted: {
        width = Math.max(minimumWidth, Math.min(preferredSize.width,
                                                Screen.desktopAvailableWidth - frameAllowance));
        height = Math.max(minimumHeight, Math.min(preferredSize.height,
                                                  Screen.desktopAvailableHeight - frameAllowance));
        visible = true;
    }

    Shortcut {
        sequence: StandardKey.New
        onActivated: window.newWindowRequested()
    }

    Shortcut {
        sequence: StandardKey.Quit
        onActivated: window.quitRequested()
    }

    // Ends this window alone, the way its close button does: a window that
    // monitors sends its stop notice first.
    Shortcut {
        sequences: [StandardKey.Close, "Escape"]
        onActivated: window.close()
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
                    color: Theme.lightGrey
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

    // The verification card fades out as the code proves right: its success is
    // spoken from here, which outlives the card.
    Announcement {
        id: verified

        objectName: "verifiedAnnouncement"
        visible: false
        text: window.verification.emailStatus
    }

    Connections {
        target: window.verification

        // Success is the one status a verified flow sets.
        function onEmailStatusChanged() {
            if (window.verification.isVerified)
                verified.announce();
        }
    }

    Loader {
        objectName: "verificationScreen"
        anchors.fill: parent
        // Destroyed once faded out: nothing can bring it back or give it focus.
        active: opacity > 0
        // By then the success has been spoken; its notification leaves the tree.
        onActiveChanged: if (!active) verified.visible = false
        enabled: !window.verification.isVerified
        opacity: window.verification.isVerified ? 0 : 1
        focus: !window.verification.isVerified

        Behavior on opacity {
            NumberAnimation {
                duration: window.fadeDuration
                easing.type: Easing.InOutQuad
            }
        }

        sourceComponent: VerificationScreen {
            flow: window.verification
        }
    }

    Loader {
        objectName: "dashboardScreen"
        anchors.fill: parent
        active: window.verification.isVerified
        opacity: window.verification.isVerified ? 1 : 0
        focus: window.verification.isVerified

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
            "session": window.monitoring
        })
    }
}
