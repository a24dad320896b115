// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Nimbrel

// The accessible face of a status text that a screen reader should speak when
// it changes. Qt 6.4 has no way to announce text, so this item takes the
// notification role and appears anew for each announcement: screen readers
// speak a notification as it appears. It draws nothing and fills its parent,
// whose own text is then hidden from assistive technology.
//
//     Text {
//         text: session.scanStatus
//         Accessible.ignored: true
//         Announcement { id: announcement; text: parent.text }
//     }
//     ... announcement.announce()
Item {
    id: announcement

    required property string text

    anchors.fill: parent
    Accessible.role: Accessible.Notification
    Accessible.name: SpokenText.of(text)

    function announce() {
        visible = false;
        visible = true;
    }
}
