// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// About a thousand process names as a Linux desktop's table shows them:
// system services, the desktop session, applications with their helpers,
// shells and tools, and a few percent of disguised names of the target tool.
QStringList desktopProcessCorpus();
