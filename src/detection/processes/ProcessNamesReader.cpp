// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/ProcessNamesReader.h"

#include "detection/processes/ProcessNameList.h"
#include "detection/proc/BoundedRead.h"
#include "detection/proc/ProcessDirectory.h"
#include "detection/processes/InterpretedProgram.h"
#include "detection/processes/ProgramFiles.h"

#include <QDir>
#include <QFile>

namespace {

constexpr qsizetype maxArguments = 256;
// A path is walked up at most this many folders.
constexpr int maxFolders = 32;
// Descriptors looked at per process: a runner's program or input is among the first.
constexpr int maxOpenFiles = 64;
constexpr qint64 maxMapsBytes = 256 * 1024;
constexpr qint64 maxPackageJsonBytes = 1024 * 1024;
// A script's package.json is looked for this many folders up.
constexpr int maxPackageLevels = 4;
// The verdicts on names a reader remembers: a pass over a busy desktop meets a
// few thousand distinct ones.
constexpr qsizetype maxRememberedVerdicts = 16 * 1024;

QStringView fileNameOf(QStringView path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash > 0 ? path.first(slash) : (slash == 0 ? QStringLiteral("/") : QString());
}

bool isScriptOfNode(QStringView fileName)
{
    for (QStringView extension : {u".js", u".mjs", u".cjs", u".ts", u".mts"}) {
        if (fileName.endsWith(extension))
            return true;
    }
    return false;
}

// Whether a name the process shows names its executable `executable`: the
// same name, the kernel's 15-character cut of it, the name without its
// version ("python3" for python3.11), or a login shell's "-bash".
bool namesExecutable(QStringView name, QStringView executable)
{
    if (name.startsWith(u'-'))
        name = name.sliced(1);
    if (name.isEmpty() || !executable.startsWith(name))
        return false;
    const QStringView rest = executable.sliced(name.size());
    return rest.isEmpty() || name.size() >= 15 ||
           std::all_of(rest.begin(), rest.end(), [](QChar c) { return c.isDigit() || c == u'.'; });
}

} // namespace

// The names of one process as they are found.
class ProcessNamesReader::Reading
{
public:
    Reading(ProcessNamesReader &reader, ProcessDirectory &directory)
        : m_reader(reader), m_directory(directory)
    {}

    void add(const QString &name, NameSource source)
    {
        if (name.isEmpty() || (!identifiesProgram(source) && !m_reader.mayMatter(name)))
            return;
        QList<ProcessName> &names = identifiesProgram(source) ? m_identities : m_mentions;
        const ProcessName entry{name, source};
        if (!names.contains(entry))
            names.append(entry);
    }

    // The folders on `path` above its file, nearest first, as mentions.
    void addFolders(const QString &path, NameSource source)
    {
        QString folder = folderOf(path);
        for (int level = 0; level < maxFolders && !isWalkStop(folder, m_reader.m_homeFolder);
             ++level) {
            add(fileNameOf(folder).toString(), source);
            folder = folderOf(folder);
        }
    }

    // A program file the process runs: its name, its folders and, for a
    // script of node's, its package's names.
    void addProgram(const QString &path)
    {
        add(fileNameOf(path).toString(), NameSource::Script);
        addFolders(path, NameSource::ScriptFolder);
        if (isScriptOfNode(fileNameOf(path)))
            addPackage(folderOf(path));
    }

    // The names of the package a script of node's belongs to.
    void addPackage(const QString &scriptFolder)
    {
        const PackageNames package = m_reader.packageOf(scriptFolder, &m_directory);
        add(package.name, NameSource::PackageName);
        add(package.productName, NameSource::PackageProductName);
    }

    // A path named in the arguments or held open: looked at only when a name
    // on it may matter. Whether it is a program decides what its name is.
    // Says whether it was looked at and found.
    bool addNamedPath(QString path, bool executableMapping = false)
    {
        if (!path.startsWith(u'/')) {
            // Read from the working folder only what may matter by its own text.
            if ((!m_reader.mayMatter(path) && !isScriptOfNode(fileNameOf(path))) ||
                workingFolder().isEmpty())
                return false;
            path = workingFolder() + u'/' + path;
        }
        path = QDir::cleanPath(path);
        if (!m_reader.mayMatter(path)) {
            // A script of node's may still be known by its package.
            if (isScriptOfNode(fileNameOf(path)) &&
                examinePath(m_directory, path) == PathKind::Program)
                addPackage(folderOf(path));
            return false;
        }
        switch (executableMapping ? PathKind::Program : examinePath(m_directory, path)) {
        case PathKind::Missing:
            return false;
        case PathKind::Program:
            addProgram(path);
            return true;
        case PathKind::File:
            add(fileNameOf(path).toString(), NameSource::File);
            break;
        case PathKind::Folder:
            add(fileNameOf(path).toString(), NameSource::Folder);
            break;
        }
        addFolders(path, NameSource::Folder);
        return true;
    }

    // An argument may be a path, or an option whose value is one; any other
    // that names the tool mentions it (a web address, inline code, a search).
    void addArgument(const QString &argument)
    {
        const qsizetype equals = argument.indexOf(u'=');
        const QString path = !argument.startsWith(u'-') ? argument
                             : equals > 0              ? argument.sliced(equals + 1)
                                                       : QString();
        if (path.isEmpty() || !addNamedPath(path))
            add(argument, NameSource::Argument);
    }

    const QString &workingFolder()
    {
        if (!m_workingFolder)
            m_workingFolder = QFile::decodeName(m_directory.readLink("cwd"));
        return *m_workingFolder;
    }

    QList<ProcessName> names() const { return m_identities + m_mentions; }

private:
    ProcessNamesReader &m_reader;
    ProcessDirectory &m_directory;
    QList<ProcessName> m_identities;
    QList<ProcessName> m_mentions;
    std::optional<QString> m_workingFolder;
};

ProcessNamesReader::ProcessNamesReader(QString homeFolder, NameFilter mayMatter)
    : m_homeFolder(std::move(homeFolder)), m_mayMatter(std::move(mayMatter))
{}

std::optional<ObservedProcess> ProcessNamesReader::read(ProcessDirectory &directory)
{
    const QString &executablePath = directory.executablePath();
    const QList<QByteArrayView> arguments = splitCmdline(directory.cmdline(), maxArguments);
    // The comm comes from status, which the applications' reader reads of
    // every process anyway; stat only when status has none, or to tell a
    // kernel thread (with neither an executable nor arguments) by its flag.
    std::optional<QByteArray> comm;
    if (executablePath.isEmpty() && arguments.isEmpty()) {
        const std::optional<ProcStat> &stat = directory.stat();
        if (!stat || isKernelThread(*stat))
            return std::nullopt;
        comm = stat->comm;
    } else if (comm = parseStatusName(directory.status()); !comm) {
        if (const std::optional<ProcStat> &stat = directory.stat())
            comm = stat->comm;
    }

    Reading reading(*this, directory);
    const QString executable = processNameFromEntry(executablePath);
    reading.add(executable, NameSource::Executable);
    QStringList decoded;
    for (QByteArrayView argument : arguments)
        decoded.append(QFile::decodeName(argument.toByteArray()));
    const QString argv0Path = decoded.isEmpty() ? QString() : decoded.first().trimmed();
    // A Windows program's argv[0] under Wine is its Windows path.
    const QString argv0Entry = processNameFromEntry(argv0Path);
    const QString argv0 = argv0Entry.sliced(argv0Entry.lastIndexOf(u'\\') + 1);
    reading.add(argv0, NameSource::Argv0);
    const QString commName = comm ? QString::fromUtf8(*comm) : QString();
    reading.add(commName, NameSource::Comm);

    // Another user's executable is unreadable; its argv[0] names the interpreter then.
    const QString &interpreter = executablePath.isEmpty() ? argv0 : executable;
    const bool runner = isInterpreter(interpreter) || isDynamicLoader(executable);
    const std::optional<InterpretedProgram> program =
        isInterpreter(interpreter) ? interpretedProgram(interpreter, decoded) : std::nullopt;
    if (program) {
        if (program->isModule) {
            reading.add(program->path, NameSource::Module);
        } else {
            const bool relative = !program->path.startsWith(u'/') && !program->path.contains(u'\\');
            reading.addProgram(interpretedProgramPath(
                *program, relative ? reading.workingFolder() : QString()));
        }
        for (const QString &ran : program->runs) {
            if (ran.contains(u'/') || ran.contains(u'.'))
                reading.addNamedPath(ran);
            if (!ran.contains(u'/'))
                reading.add(ran, NameSource::Module);
        }
    }
    for (qsizetype i = 1; i < decoded.size(); ++i) {
        if (!program || (decoded[i] != program->path && !program->runs.contains(decoded[i])))
            reading.addArgument(decoded[i]);
    }

    // A runtime may hold its program open (a shell its script, standard input
    // a script piped in). A process whose names no longer tell its executable
    // (a title it wrote itself, as node's process.title or perl's $0 do) is
    // known by its files.
    const bool retitled = !executable.isEmpty() && !namesExecutable(argv0, executable) &&
                          !namesExecutable(commName, executable);
    if (runner || retitled) {
        for (const HeldFile &file : openFiles(directory, maxOpenFiles))
            reading.addNamedPath(file.path);
    }
    if (retitled) {
        for (const HeldFile &file : mappedFiles(directory.read("maps", maxMapsBytes).bytes)) {
            if (file.path != executablePath)
                reading.addNamedPath(file.path, file.executableMapping);
        }
        if (!reading.workingFolder().isEmpty())
            reading.addNamedPath(reading.workingFolder());
    }

    reading.addFolders(executablePath, NameSource::ExecutableFolder);
    if (argv0Path.contains(u'/') && argv0Path != executablePath)
        reading.addFolders(argv0Path, NameSource::Argv0Folder);
    if (const qsizetype slash = executablePath.lastIndexOf(u'/'); slash > 0) {
        const PackageNames package = packageOf(executablePath.first(slash), nullptr);
        reading.add(package.name, NameSource::PackageName);
        reading.add(package.productName, NameSource::PackageProductName);
    }

    ObservedProcess process{directory.pid(), reading.names()};
    if (process.names.isEmpty())
        return std::nullopt;
    return process;
}

bool ProcessNamesReader::mayMatter(const QString &name)
{
    // Folders, options and paths repeat from process to process.
    if (const auto known = m_verdicts.constFind(name); known != m_verdicts.constEnd())
        return *known;
    const bool verdict = m_mayMatter(name);
    if (m_verdicts.size() < maxRememberedVerdicts)
        m_verdicts.insert(name, verdict);
    return verdict;
}

PackageNames ProcessNamesReader::packageOf(const QString &folder, const ProcessDirectory *script)
{
    const QString key = (script ? u's' : u'e') + folder;
    if (const auto known = m_packagesByFolder.constFind(key); known != m_packagesByFolder.constEnd())
        return *known;
    PackageNames names;
    if (!script) {
        names = electronPackageNames(folder);
    } else {
        // The nearest package.json above a script, in the process's own view.
        QString above = folder;
        for (int level = 0; level < maxPackageLevels && !isWalkStop(above, m_homeFolder);
             ++level) {
            const QByteArray path =
                script->pathOf("root") + QFile::encodeName(above) + "/package.json";
            const BoundedContent json =
                readBounded(script->procRoot(), path.constData(), maxPackageJsonBytes);
            if (!json.bytes.isEmpty()) {
                names = parsePackageJson(json.bytes);
                break;
            }
            above = folderOf(above);
        }
    }
    m_packagesByFolder.insert(key, names);
    return names;
}
