// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// What an interpreter or runtime (python, node, perl, java -jar, sh, wine,
// electron, ...) runs: the file of a script, jar or Windows program, or the
// module of `-m module`.
struct InterpretedProgram
{
    QString path; // as given: absolute, relative or a Windows path
    bool isModule = false;
    // For a module that runs another program (python's cProfile, runpy,
    // pdb, ...): the arguments after it that are no options, each a module or
    // a file that may be the program it runs.
    QStringList runs{};

    bool operator==(const InterpretedProgram &) const = default;
};

// Whether `executable` names an interpreter or runtime whose program the
// names below can tell.
bool isInterpreter(QStringView executable);

// Whether `executable` names the dynamic loader (ld-linux-x86-64.so.2,
// ld.so, ld-musl-x86_64.so.1, ...), which runs the program its arguments name.
bool isDynamicLoader(QStringView executable);

// The program `arguments` (argv[0] first) make the interpreter named
// `executable` run. None when `executable` is no interpreter, or it runs code
// given inline (-c, -e, ...) or read from standard input.
std::optional<InterpretedProgram> interpretedProgram(QStringView executable,
                                                     const QStringList &arguments);

// The program's path with '/' for every separator, cleaned, and read from
// `workingFolder` when it is relative and that folder is known. A Windows
// path keeps its drive ("C:/Apps/x.exe").
QString interpretedProgramPath(const InterpretedProgram &program, const QString &workingFolder);

// Whether `folder` ends a walk up a path: "/", a home folder (/home/NAME or
// `homeFolder`), a Windows drive, or nothing left to walk.
bool isWalkStop(const QString &folder, const QString &homeFolder);
