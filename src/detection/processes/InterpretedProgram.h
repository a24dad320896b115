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

    bool operator==(const InterpretedProgram &) const = default;
};

// Whether `executable` names an interpreter or runtime whose program the
// names below can tell.
bool isInterpreter(QStringView executable);

// The program `arguments` (argv[0] first) make the interpreter named
// `executable` run. None when `executable` is no interpreter, or it runs code
// given inline (-c, -e, ...) or read from standard input.
std::optional<InterpretedProgram> interpretedProgram(QStringView executable,
                                                     const QStringList &arguments);

// The program's file name, then the names of up to three folders above it,
// nearest first; the walk stops at "/", "/usr", "/opt", "/home", a folder
// directly in /home, `homeFolder` and a Windows drive. A relative path is read
// from `workingFolder` when it is known. A module gives its name alone.
QStringList interpretedProgramNames(const InterpretedProgram &program, const QString &workingFolder,
                                    const QString &homeFolder);
