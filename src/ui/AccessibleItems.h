// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Makes assistive technology see Qt Quick controls as they are: Qt 6.4
// reports a disabled control as enabled, never says when one is enabled or
// disabled, and lists some controls' actions twice (a scroll bar's Increase
// and Decrease), lets text that is no control take the focus, with an empty
// text interface, and lists hidden items. Call once, before the first window
// is made.
void installAccessibleItems();
