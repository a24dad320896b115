import QtQuick
import Nimbrel

// The latest result message with its icon: a check when the text holds "✓"
// anywhere, else a cross when it holds "✗", else an "i". As wide as its text,
// up to `maximumWidth`; longer texts wrap and are cut off after a few lines.
Rectangle {
    id: line

    required property ContentView view
    property real maximumWidth: Infinity

    readonly property string message: view.emailStatus
    readonly property string iconSymbol: message.includes("✓") ? "check_circle" : message.includes("✗") ? "cancel" : "info"
    readonly property color iconColor: message.includes("✓") ? view.accentGreen : message.includes("✗") ? view.accentRed : view.primaryBlue
    readonly property real textRoom: maximumWidth - 2 * Theme.standardPadding - icon.implicitWidth - row.spacing

    implicitWidth: row.implicitWidth + 2 * Theme.standardPadding
    implicitHeight: row.implicitHeight + 2 * Theme.standardPadding
    radius: 10
    color: Qt.rgba(1, 1, 1, 0.8)

    property string previousMessage: ""

    // Every new message is spoken; announce() says the current one again. The
    // first one needs no help: the line appears with it, and so is spoken.
    onMessageChanged: {
        if (previousMessage !== "")
            announcement.announce();
        previousMessage = message;
    }

    function announce() {
        announcement.announce();
    }

    Announcement {
        id: announcement

        objectName: "statusAnnouncement"
        text: line.message
    }

    Row {
        id: row

        anchors.centerIn: parent
        spacing: Theme.defaultSpacing

        MaterialIcon {
            id: icon

            objectName: "statusIcon"
            anchors.verticalCenter: parent.verticalCenter
            symbol: line.iconSymbol
            color: line.iconColor
            font.pixelSize: Theme.subheadlineSize + 5
        }

        Text {
            id: text

            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, Math.min(implicitWidth, line.textRoom))
            text: line.message
            textFormat: Text.PlainText
            color: line.view.mediumGrey
            font.pixelSize: Theme.subheadlineSize
            wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            maximumLineCount: 4
            elide: Text.ElideRight
            Accessible.ignored: true
        }
    }
}
