// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/desktop/DesktopEntries.h"
#include "detection/desktop/ProcessRecord.h"
#include "detection/windows/TopLevelWindow.h"
#include "detection/RunningApplications.h"

#include <QList>

// Turns the user's processes and the desktop's windows into applications as
// a person counts them: helper processes of one instance (same unit, or
// children carrying the same identity) make one entry, and so do all windows
// of one process. Entries come in the start order of their first process, then
// windows of processes not among `processes` in window order. A window that
// names no application and has no known process is an entry of its own, named
// by its title, else "an unnamed window (ID)".
QList<RunningApplication> groupApplications(QList<ProcessRecord> processes,
                                            const QList<TopLevelWindow> &windows,
                                            const DesktopEntries &entries);
