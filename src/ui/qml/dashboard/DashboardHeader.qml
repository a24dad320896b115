// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Nimbrel

// The dashboard's title row, subtitle and the line on where reports go.
ColumnLayout {
    id: header

    required property MonitoringSession session

    spacing: 10

    RowLayout {
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: 20
        spacing: Theme.defaultSpacing

        MaterialIcon {
            symbol: "radar"
            color: Theme.primaryBlue
            font.pixelSize: Theme.titleSize
        }

        Text {
            text: "Nimbrel Scanner"
            color: Theme.darkGrey
            font.pixelSize: 28
            font.bold: true
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
    }

    Text {
        Layout.alignment: Qt.AlignHCenter
        text: "Security Monitoring Dashboard"
        color: Theme.mediumGrey
        font.pixelSize: Theme.subheadlineSize
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    ReportingLine {
        objectName: "reportingLine"
        session: header.session
        Layout.fillWidth: true
    }
}
