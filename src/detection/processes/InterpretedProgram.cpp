// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/InterpretedProgram.h"

#include <QDir>

#include <algorithm>
#include <array>

namespace {

// How one family of interpreters takes its arguments.
struct InterpreterRules
{
    QStringView name;                 // also matched with a version after it: python3.11, perl5.36
    QStringView subcommands;          // words before the program that are not it: "run"
    QStringView valueOptions;         // options whose value is the next argument unless attached
    QStringView inlineCode;           // options meaning the program is given inline
    QStringView moduleOption;         // the option whose value is the module to run
    QStringView programOption;        // the option whose value is the program file
    QStringView slashFlags;           // Windows-style flags of `wine start`
    bool shortOptionsCombine = false; // "-uB" is "-u -B"
    bool programIsArgv0 = false;      // Wine's preloader runs the program named by argv[0]
    bool needsProgramOption = false;  // java runs a file only with -jar
};

// Options are space-separated; a short option is "-x", a long one "--name".
const std::array<InterpreterRules, 24> interpreterRules = {{
    {u"python", {}, u"-W -X -Q --check-hash-based-pycs", u"-c", u"-m", {}, {}, true},
    {u"pypy", {}, u"-W -X", u"-c", u"-m", {}, {}, true},
    {u"node",
     {},
     u"-r --require --import --loader --experimental-loader -C --conditions --title",
     u"-e --eval -p --print"},
    {u"nodejs",
     {},
     u"-r --require --import --loader -C --conditions --title",
     u"-e --eval -p --print"},
    {u"deno", u"run", u"-c --config --import-map --cert --lock --location --seed -L --log-level",
     u"eval"},
    {u"bun", u"run", u"-r --preload --cwd -c --config", u"-e --eval -p --print"},
    {u"perl", {}, u"-I", u"-e -E", {}, {}, {}, true},
    {u"ruby", {}, u"-I -r -C", u"-e", {}, {}, {}, true},
    {u"php", {}, u"-c -d -z", u"-r -R -B -E", {}, u"-f"},
    {u"java",
     {},
     u"-cp -classpath --class-path -p --module-path",
     u"-m --module",
     {},
     u"-jar",
     {},
     false,
     false,
     true},
    {u"sh", {}, u"-o +o --rcfile --init-file", u"-c -s", {}, {}, {}, true},
    {u"bash", {}, u"-o +o --rcfile --init-file", u"-c -s", {}, {}, {}, true},
    {u"dash", {}, u"-o +o", u"-c -s", {}, {}, {}, true},
    {u"zsh", {}, u"-o +o", u"-c -s", {}, {}, {}, true},
    {u"ksh", {}, u"-o +o", u"-c -s", {}, {}, {}, true},
    {u"wine", u"start", u"/d", {}, {}, {}, u"/unix /wait /min /max /b /i /l /d"},
    {u"electron", {}, {}, u"-e --eval", {}, {}},
    {u"tclsh", {}, {}, {}},
    {u"wish", {}, {}, {}},
    {u"lua", {}, u"-l", u"-e"},
    {u"luajit", {}, u"-l -j", u"-e"},
    {u"julia", {}, u"-L --load --project", u"-e -E --eval"},
    {u"Rscript", {}, {}, u"-e"},
    {u"gjs", {}, u"-I --include-path", u"-c --command"},
}};

// Python modules that run the program named after them.
const std::array<QStringView, 8> runnerModules = {u"cProfile", u"profile", u"pdb", u"runpy",
                                                  u"trace", u"pyinstrument", u"debugpy",
                                                  u"viztracer"};
// How many of a runner module's arguments may name its program.
constexpr qsizetype maxRunnerArguments = 4;

// Runs the Windows program its argv[0] names.
const std::array<QStringView, 2> winePreloaders = {u"wine-preloader", u"wine64-preloader"};
// Shells of the sh family known under other names.
const std::array<std::pair<QStringView, QStringView>, 3> aliases = {
    {{u"mksh", u"ksh"}, {u"ash", u"sh"}, {u"busybox", u"sh"}}};

bool isNameWithVersion(QStringView executable, QStringView name)
{
    if (!executable.startsWith(name))
        return false;
    for (QChar c : executable.sliced(name.size())) {
        if (!c.isDigit() && c != u'.')
            return false;
    }
    return true;
}

const InterpreterRules *rulesFor(QStringView executable)
{
    for (const auto &[alias, name] : aliases) {
        if (executable == alias)
            executable = name;
    }
    for (const InterpreterRules &rules : interpreterRules) {
        if (isNameWithVersion(executable, rules.name))
            return &rules;
    }
    return nullptr;
}

bool listed(QStringView list, QStringView word)
{
    for (QStringView entry : list.tokenize(u' ')) {
        if (entry == word)
            return true;
    }
    return false;
}

// Reads the arguments after argv[0] up to the program.
class ArgumentWalk
{
public:
    ArgumentWalk(const InterpreterRules &rules, const QStringList &arguments)
        : m_rules(rules), m_arguments(arguments)
    {}

    std::optional<InterpretedProgram> program()
    {
        bool subcommandAllowed = !m_rules.subcommands.isEmpty();
        for (m_next = 1; m_next < m_arguments.size();) {
            const QString &argument = m_arguments[m_next++];
            if (argument == u"--")
                return fileAt(m_next);
            if (subcommandAllowed && listed(m_rules.subcommands, argument)) {
                subcommandAllowed = false;
                continue;
            }
            if (listed(m_rules.inlineCode, argument))
                return std::nullopt; // code given inline: deno's "eval" is a word
            const bool isOption = argument.size() > 1 &&
                                  (argument.startsWith(u'-') ||
                                   (argument.startsWith(u'+') && m_rules.shortOptionsCombine) ||
                                   listed(m_rules.slashFlags, argument.toLower()));
            if (!isOption) {
                if (m_rules.needsProgramOption || argument == u"-")
                    return std::nullopt; // a class name, or standard input
                return InterpretedProgram{argument};
            }
            if (std::optional<std::optional<InterpretedProgram>> decided = option(argument))
                return *decided;
        }
        return std::nullopt;
    }

private:
    std::optional<InterpretedProgram> fileAt(qsizetype index) const
    {
        if (index >= m_arguments.size() || m_arguments[index].isEmpty() ||
            m_arguments[index] == u"-")
            return std::nullopt;
        return InterpretedProgram{m_arguments[index]};
    }

    // The value of an option, attached or the next argument.
    QString valueOf(QStringView attached)
    {
        if (!attached.isEmpty())
            return attached.toString();
        return m_next < m_arguments.size() ? m_arguments[m_next++] : QString();
    }

    // Handles one option; a value when it decides the answer.
    std::optional<std::optional<InterpretedProgram>> option(const QString &argument)
    {
        const qsizetype equals = argument.indexOf(u'=');
        const QStringView name = equals > 0 ? QStringView(argument).first(equals) : argument;
        if (name == m_rules.programOption && !name.isEmpty()) {
            const QString file =
                valueOf(equals > 0 ? QStringView(argument).sliced(equals + 1) : QStringView());
            if (file.isEmpty())
                return std::optional<InterpretedProgram>();
            return std::optional(InterpretedProgram{file});
        }
        if (m_rules.needsProgramOption && listed(m_rules.inlineCode, name))
            return std::optional<InterpretedProgram>(); // java -m: a module, not a file
        if (listed(m_rules.valueOptions, name)) {
            if (equals < 0)
                valueOf({});
            return std::nullopt;
        }
        if (!m_rules.shortOptionsCombine || argument.startsWith(u"--"))
            return std::nullopt; // a flag, or --name=value
        // Combined short options: "-uBc" is -u -B -c; a value option takes the rest.
        for (qsizetype i = 1; i < argument.size(); ++i) {
            const QString single = argument.first(1) + argument[i];
            const QStringView rest = QStringView(argument).sliced(i + 1);
            if (single == m_rules.moduleOption) {
                const QString module = valueOf(rest);
                if (module.isEmpty())
                    return std::optional<InterpretedProgram>();
                return std::optional(InterpretedProgram{module, true, runnerArguments(module)});
            }
            if (listed(m_rules.inlineCode, single))
                return std::optional<InterpretedProgram>();
            if (listed(m_rules.valueOptions, single)) {
                valueOf(rest);
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // What a runner module runs: its arguments that are no options.
    QStringList runnerArguments(const QString &module) const
    {
        if (std::find(runnerModules.begin(), runnerModules.end(), module) == runnerModules.end())
            return {};
        QStringList runs;
        for (qsizetype i = m_next; i < m_arguments.size() && runs.size() < maxRunnerArguments; ++i) {
            if (!m_arguments[i].isEmpty() && !m_arguments[i].startsWith(u'-'))
                runs.append(m_arguments[i]);
        }
        return runs;
    }

    const InterpreterRules &m_rules;
    const QStringList &m_arguments;
    qsizetype m_next = 1;
};

bool isDrive(QStringView folder)
{
    return folder.size() == 2 && folder[1] == u':' && folder[0].isLetter();
}

} // namespace

bool isWalkStop(const QString &folder, const QString &homeFolder)
{
    return folder.isEmpty() || folder == u"/" || folder == u"/home" || folder == homeFolder ||
           (folder.startsWith(u"/home/") && folder.indexOf(u'/', 6) < 0) || isDrive(folder) ||
           folder == u"." || folder == u"..";
}

bool isDynamicLoader(QStringView executable)
{
    return executable.startsWith(u"ld-linux") || executable.startsWith(u"ld-musl") ||
           executable == u"ld.so" || executable.startsWith(u"ld64.so");
}

bool isInterpreter(QStringView executable)
{
    return rulesFor(executable) || std::find(winePreloaders.begin(), winePreloaders.end(),
                                             executable) != winePreloaders.end();
}

std::optional<InterpretedProgram> interpretedProgram(QStringView executable,
                                                     const QStringList &arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    for (QStringView preloader : winePreloaders) {
        if (executable == preloader)
            return arguments.first().isEmpty() ? std::nullopt
                                               : std::optional(InterpretedProgram{arguments[0]});
    }
    const InterpreterRules *rules = rulesFor(executable);
    if (!rules)
        return std::nullopt;
    return ArgumentWalk(*rules, arguments).program();
}

QString interpretedProgramPath(const InterpretedProgram &program, const QString &workingFolder)
{
    // Windows paths use '\\'; Wine's also start with a drive.
    QString path = QString(program.path).replace(u'\\', u'/');
    const bool absolute = path.startsWith(u'/') ||
                          isDrive(QStringView(path).first(std::min<qsizetype>(2, path.size())));
    if (!absolute && workingFolder.startsWith(u'/'))
        path = workingFolder + u'/' + path;
    return QDir::cleanPath(path);
}
