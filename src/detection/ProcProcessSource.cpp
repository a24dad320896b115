#include "ProcProcessSource.h"

#include "ProcessNameList.h"
#include "applications/BoundedRead.h"
#include "applications/ProcFiles.h"
#include "processes/ElectronPackage.h"
#include "processes/InterpretedProgram.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A real argv is a few kilobytes; the interpreter's program comes early in it.
constexpr qint64 maxCmdlineBytes = 64 * 1024;
constexpr qsizetype maxArguments = 256;
constexpr qint64 maxStatBytes = 4096;

bool isProcessDirectoryName(const char *name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

// Reads one process; the package names of each executable's folder are
// looked up once per pass.
class ProcessReader
{
public:
    ProcessReader(int root, const QString &homeFolder) : m_root(root), m_homeFolder(homeFolder) {}

    std::optional<ObservedProcess> read(const char *pid);

private:
    void add(const QString &name, NameSource source)
    {
        if (QString cut = boundedName(name); !cut.isEmpty())
            m_process.names.append({std::move(cut), source});
    }
    void addProgramNames(int pidDir, const QString &interpreter, const QStringList &arguments);
    void addPackageNames(const QString &executablePath);

    int m_root;
    const QString &m_homeFolder;
    ObservedProcess m_process;
    QHash<QString, PackageNames> m_packagesByFolder;
};

std::optional<ObservedProcess> ProcessReader::read(const char *pid)
{
    const int pidDir = ::openat(m_root, pid, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (pidDir < 0)
        return std::nullopt;
    m_process = {QByteArray(pid).toLongLong(), {}};

    const QString executablePath = readExecutablePath(pidDir);
    const QByteArray cmdline = readBounded(pidDir, "cmdline", maxCmdlineBytes).bytes;
    const QList<QByteArrayView> arguments = splitCmdline(cmdline, maxArguments);
    const std::optional<ProcStat> stat =
        parseProcStat(readBounded(pidDir, "stat", maxStatBytes).bytes);
    // Kernel threads have neither an executable nor arguments.
    if (executablePath.isEmpty() && arguments.isEmpty() && (!stat || isKernelThread(*stat))) {
        ::close(pidDir);
        return std::nullopt;
    }

    const QString executable = processNameFromEntry(executablePath);
    add(executable, NameSource::Executable);
    // A Windows program's argv[0] under Wine is its Windows path.
    const QString argv0 = arguments.isEmpty()
                              ? QString()
                              : processNameFromEntry(QFile::decodeName(arguments[0].toByteArray()));
    add(argv0.sliced(argv0.lastIndexOf(u'\\') + 1), NameSource::Argv0);
    if (stat)
        add(QString::fromUtf8(stat->comm), NameSource::Comm);
    // Another user's executable is unreadable; its argv[0] names the interpreter then.
    const QString &interpreter = executablePath.isEmpty() ? argv0 : executable;
    if (isInterpreter(interpreter)) {
        QStringList decoded;
        for (QByteArrayView argument : arguments)
            decoded.append(QFile::decodeName(argument.toByteArray()));
        addProgramNames(pidDir, interpreter, decoded);
    }
    addPackageNames(executablePath);
    ::close(pidDir);
    if (m_process.names.isEmpty())
        return std::nullopt;
    return std::move(m_process);
}

void ProcessReader::addProgramNames(int pidDir, const QString &interpreter,
                                    const QStringList &arguments)
{
    const std::optional<InterpretedProgram> program = interpretedProgram(interpreter, arguments);
    if (!program)
        return;
    // A relative path is the process's own: read from its working folder.
    const bool relative = !program->isModule && !program->path.startsWith(u'/');
    const QString workingFolder =
        relative ? QFile::decodeName(readLinkAt(pidDir, "cwd")) : QString();
    const QStringList names = interpretedProgramNames(*program, workingFolder, m_homeFolder);
    for (qsizetype i = 0; i < names.size(); ++i) {
        add(names[i], program->isModule ? NameSource::Module
                      : i == 0          ? NameSource::Script
                                        : NameSource::ScriptFolder);
    }
}

void ProcessReader::addPackageNames(const QString &executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(u'/');
    if (slash <= 0)
        return;
    const QString folder = executablePath.first(slash);
    auto known = m_packagesByFolder.find(folder);
    if (known == m_packagesByFolder.end())
        known = m_packagesByFolder.insert(folder, electronPackageNames(folder));
    add(known->name, NameSource::PackageName);
    add(known->productName, NameSource::PackageProductName);
}

} // namespace

ProcProcessSource::ProcProcessSource(QString procRoot, QString homeFolder)
    : m_procRoot(std::move(procRoot)), m_homeFolder(std::move(homeFolder))
{}

QString ProcProcessSource::defaultHomeFolder()
{
    return QDir::homePath();
}

QList<ObservedProcess> ProcProcessSource::runningProcesses() const
{
    const int root =
        ::open(QFile::encodeName(m_procRoot).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return {};
    DIR *listing = ::fdopendir(::dup(root));
    if (!listing) {
        ::close(root);
        return {};
    }
    QList<ObservedProcess> processes;
    ProcessReader reader(root, m_homeFolder);
    while (const dirent *entry = ::readdir(listing)) {
        if (!isProcessDirectoryName(entry->d_name))
            continue;
        if (std::optional<ObservedProcess> process = reader.read(entry->d_name))
            processes.append(std::move(*process));
    }
    ::closedir(listing);
    ::close(root);
    return processes;
}
