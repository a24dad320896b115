// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/windows/TopLevelWindow.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <chrono>
#include <optional>

// The windows KWin (KDE Plasma) manages, native Wayland and X11 alike, which
// it lists to no Wayland client: a script loaded into KWin over D-Bus
// (org.kde.KWin /Scripting) reads them and calls back over the session bus
// to an object this pass registers, then is unloaded; all of it within
// `timeout`. None, with the reason added to `limits` ("windows: ..."), when
// KWin is not on the session bus or does not report in time.
std::optional<QList<TopLevelWindow>> kwinWindows(std::chrono::milliseconds timeout,
                                                 QStringList *limits);

// The windows in the script's report, a JSON array with one object per
// window: its resource class and name, caption, pid, desktop file, internal
// id and the traits that tell an overlay (keep-above, above the active
// window, skip-taskbar, size, opacity, no border, shaped, the desktop's own
// types, and on Plasma 6 whether it is excluded from screen capture). Empty
// for a report of any other shape.
QList<TopLevelWindow> windowsFromKWinReport(const QByteArray &report);
