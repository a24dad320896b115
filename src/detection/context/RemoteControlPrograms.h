// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/ProcessSource.h"

#include <QList>
#include <QStringList>

// The programs among `processes` that let another person see or steer this
// desktop (VNC and RDP servers, remote-support tools, game streaming), or share
// its keyboard and mouse with another computer, known by the names that
// identify a process's program (executable, argv[0], comm, script, ps). One
// line each, in the table's order:
//   "remote control: AnyDesk is running (anydesk)"
// and "remote control: none running" when there is none.
QStringList remoteControlFacts(const QList<ObservedProcess> &processes);
