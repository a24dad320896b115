// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where a name the scan looked at came from. The labels are stable: the
// explained and the JSON output print them.
enum class NameSource {
    // Names that identify a program.
    Executable,         // the file name of the process's executable
    Argv0,              // the last path component of argv[0]
    Comm,               // the kernel's name of the process
    Script,             // the program file a process runs: script, jar, .exe, loaded binary
    Module,             // the module of `-m module`, or the module a runner module runs
    PackageName,        // "name" in an Electron-style app's or a script's package.json
    PackageProductName, // "productName" in the same file
    ProcessTable,       // a name from the ps tool
    DisplayName,        // the application's display name
    BundleIdentifier,   // the application's identifier
    WindowEntry,        // the desktop entry one of its windows names
    WindowClass,        // WM_CLASS, class part
    WindowInstance,     // WM_CLASS, instance part
    WindowRole,         // WM_WINDOW_ROLE
    // Names that only mention one: they show where the name was seen.
    ExecutableFolder, // a folder on the executable's path
    Argv0Folder,      // a folder on argv[0]'s path
    ScriptFolder,     // a folder above the program file
    Folder,           // a folder a process names in its arguments, has open or works in
    File,             // a file that is no program, named in the arguments or open
    Argument,         // an argument that names no file
    WindowTitle,      // _NET_WM_NAME, else WM_NAME
    WindowIconName,   // _NET_WM_ICON_NAME, else WM_ICON_NAME
    // Neither.
    OverlayWindow, // a window floating above everything, whatever its name
    ScanLimit,     // something the scan could not see, and why
};

// Whether a name from `source` names the program itself rather than
// mentioning it: a match gives the alarm, where a mention gives a possible finding.
bool identifiesProgram(NameSource source);

QString nameSourceLabel(NameSource source);
