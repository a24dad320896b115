// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// What a walk of a /proc tree cannot show of the machine it runs on, one
// text each, for the scan to report instead of a clean table:
// - "processes outside Nimbrel's own PID namespace": this process lives in a
//   PID namespace of its own (a container, `unshare --pid`) whose /proc lists
//   only its members, or the tree is another namespace's /proc;
// - "other users' processes (hidepid)": /proc is mounted with hidepid and
//   this process may not see through it.
// Nothing is checked for a tree that is no proc file system (a copy, a test's
// fake tree): it shows what it holds.
QStringList procVisibilityLimits(const QString &procRoot);

// The pieces, for tests. The number of ids on the "NSpid:" line of `status`
// (0 when there is none: a kernel without PID namespaces).
int namespaceDepth(QByteArrayView status);
// Whether `mountinfo` shows the proc file system at `mountPoint` (the last
// one mounted there) hiding other users' processes from a member of
// `groups`: hidepid set to anything but 0 ("off"), unless its gid= option
// names one of the groups.
bool hidesOtherUsers(QByteArrayView mountinfo, QByteArrayView mountPoint,
                     const QList<uint> &groups);
