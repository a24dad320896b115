// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// Under the status card while monitoring: how long it has run, its scans and
// its gaps, "Monitoring for 12 min · 73 scans · 1 gap". A new gap in the loop
// is spoken as it is found.
Text {
    id: summary

    required property MonitoringSession session

    visible: session.isMonitoring
    text: session.sessionSummary
    textFormat: Text.PlainText
    horizontalAlignment: Text.AlignHCenter
    wrapMode: Text.Wrap
    color: Theme.mediumGrey
    font.pixelSize: Theme.subheadlineSize
    Accessible.role: Accessible.StaticText
    Accessible.name: text

    Announcement {
        id: announcement

        objectName: "gapAnnouncement"
        visible: false
        text: "Gap in monitoring at " + summary.session.lastGap
    }

    Connections {
        target: summary.session

        function onLastGapChanged() {
            if (summary.session.lastGap !== "")
                announcement.announce();
            else
                announcement.visible = false;
        }
    }
}
