// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/ProcessSource.h"
#include "detection/processes/ElectronPackage.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

class ProcessDirectory;

// Every name one process shows. First those that identify its program: the
// executable's file name, argv[0]'s, the kernel's comm, the program file it
// runs (a script, jar or binary named in its arguments, read from standard
// input or held open, or loaded by the dynamic loader), the module of
// `-m module`, and the names in package.json of an Electron-style app or of a
// script's package. Then the names that only mention one: the folders on the
// paths of its executable, argv[0] and program, files and folders it names or
// holds open. A process whose argv[0] and comm no longer name its executable
// (it rewrote its title) is also known by the files it has mapped and open,
// and the folder it works in.
//
// Mentions are kept only when `mayMatter` says the name may match a rule, and
// the file system is read for a path only then: a pass reads no more than the
// process files for an ordinary process. Package names are looked up once per
// folder and reader, so make one reader per pass.
class ProcessNamesReader
{
public:
    using NameFilter = std::function<bool(const QString &)>;

    // `homeFolder` ends the walk up a path, as "/" and /home's folders do.
    ProcessNamesReader(QString homeFolder, NameFilter mayMatter);

    // None for a kernel thread, or a process that shows no name at all.
    std::optional<ObservedProcess> read(ProcessDirectory &process);

private:
    class Reading;

    // The names of the Electron-style app whose executable lies in `folder`,
    // or, for a `script` process, of the package its script in `folder` belongs to.
    PackageNames packageOf(const QString &folder, const ProcessDirectory *script);
    bool mayMatter(const QString &name);

    QString m_homeFolder;
    NameFilter m_mayMatter;
    QHash<QString, bool> m_verdicts;
    QHash<QString, PackageNames> m_packagesByFolder;
};
