#include "ProcessNamesReader.h"

#include "ProcessNameList.h"
#include "applications/ProcessDirectory.h"
#include "processes/InterpretedProgram.h"

#include <QFile>

namespace {

constexpr qsizetype maxArguments = 256;

} // namespace

void ProcessNamesReader::add(ObservedProcess &process, const QString &name, NameSource source) const
{
    if (QString cut = boundedName(name); !cut.isEmpty())
        process.names.append({std::move(cut), source});
}

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

    ObservedProcess process{directory.pid(), {}};
    const QString executable = processNameFromEntry(executablePath);
    add(process, executable, NameSource::Executable);
    // A Windows program's argv[0] under Wine is its Windows path.
    const QString argv0 = arguments.isEmpty()
                              ? QString()
                              : processNameFromEntry(QFile::decodeName(arguments[0].toByteArray()));
    add(process, argv0.sliced(argv0.lastIndexOf(u'\\') + 1), NameSource::Argv0);
    if (comm)
        add(process, QString::fromUtf8(*comm), NameSource::Comm);
    // Another user's executable is unreadable; its argv[0] names the interpreter then.
    const QString &interpreter = executablePath.isEmpty() ? argv0 : executable;
    if (isInterpreter(interpreter)) {
        QStringList decoded;
        for (QByteArrayView argument : arguments)
            decoded.append(QFile::decodeName(argument.toByteArray()));
        addProgramNames(process, directory, interpreter, decoded);
    }
    addPackageNames(process, executablePath);
    if (process.names.isEmpty())
        return std::nullopt;
    return process;
}

void ProcessNamesReader::addProgramNames(ObservedProcess &process, ProcessDirectory &directory,
                                         const QString &interpreter,
                                         const QStringList &arguments) const
{
    const std::optional<InterpretedProgram> program = interpretedProgram(interpreter, arguments);
    if (!program)
        return;
    // A relative path is the process's own: read from its working folder.
    const bool relative = !program->isModule && !program->path.startsWith(u'/');
    const QString workingFolder =
        relative ? QFile::decodeName(directory.readLink("cwd")) : QString();
    const QStringList names = interpretedProgramNames(*program, workingFolder, m_homeFolder);
    for (qsizetype i = 0; i < names.size(); ++i) {
        add(process, names[i],
            program->isModule ? NameSource::Module
            : i == 0          ? NameSource::Script
                              : NameSource::ScriptFolder);
    }
}

void ProcessNamesReader::addPackageNames(ObservedProcess &process, const QString &executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(u'/');
    if (slash <= 0)
        return;
    const QString folder = executablePath.first(slash);
    auto known = m_packagesByFolder.find(folder);
    if (known == m_packagesByFolder.end())
        known = m_packagesByFolder.insert(folder, electronPackageNames(folder));
    add(process, known->name, NameSource::PackageName);
    add(process, known->productName, NameSource::PackageProductName);
}
