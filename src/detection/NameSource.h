#pragma once

#include <QString>

// Where a name the scan looked at came from. The labels are stable: the
// explained and the JSON output print them.
enum class NameSource {
    Executable,         // the file name of the process's executable
    Argv0,              // the last path component of argv[0]
    Comm,               // the kernel's name of the process
    Script,             // the file an interpreter runs: script, jar or .exe
    ScriptFolder,       // a folder above that file
    Module,             // the module of `-m module`
    PackageName,        // "name" in an Electron-style app's package.json
    PackageProductName, // "productName" in the same file
    ProcessTable,       // a name from the ps tool
    DisplayName,        // the application's display name
    BundleIdentifier,   // the application's identifier
    WindowEntry,        // the desktop entry one of its windows names
    WindowClass,        // WM_CLASS, class part
    WindowInstance,     // WM_CLASS, instance part
    WindowTitle,        // _NET_WM_NAME, else WM_NAME
    OverlayWindow,      // a window floating above everything, whatever its name
    ScanLimit,          // something the scan could not see, and why
};

QString nameSourceLabel(NameSource source);
