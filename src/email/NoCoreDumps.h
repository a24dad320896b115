// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/prctl.h>
#include <sys/resource.h>

// For a program that holds the API key: no core file is written whatever the
// shell's limit (a zero hard limit cannot be raised again), and no process of
// the same user may attach to it or read its memory (/proc/PID/mem, ptrace).
inline void keepOutOfCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0);
}
