#include "ProcProcessSource.h"

#include "ProcessNameList.h"

#include <QByteArray>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace {

// Set in a task's flags (the ninth field of `stat`) for kernel threads.
constexpr unsigned long kernelThreadFlag = 0x00200000;

// Link targets, `stat` lines and argv[0] are read up to this many bytes.
constexpr size_t readLimit = 4096;

const QByteArray deletedSuffix = QByteArrayLiteral(" (deleted)");

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

// The start of a file: one read, which gives a whole `stat` line and more
// than any real argv[0] (the kernel hands out /proc files a page at a time).
QByteArray readFileStart(int directory, const QByteArray &path)
{
    const int fd = ::openat(directory, path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[readLimit];
    ssize_t count;
    do {
        count = ::read(fd, buffer, sizeof buffer);
    } while (count < 0 && errno == EINTR);
    ::close(fd);
    return count > 0 ? QByteArray(buffer, count) : QByteArray();
}

QByteArray readLinkTarget(int directory, const QByteArray &path)
{
    char buffer[readLimit];
    const ssize_t length = ::readlinkat(directory, path.constData(), buffer, sizeof buffer);
    if (length <= 0)
        return {};
    QByteArray target(buffer, length);
    // The kernel marks an executable that was removed or replaced since start.
    if (target.endsWith(deletedSuffix))
        target.chop(deletedSuffix.size());
    return target;
}

struct TaskStatus
{
    QByteArray comm;
    bool isKernelThread = false;
};

// `stat` reads "pid (comm) state ppid pgrp session tty tpgid flags ...";
// comm may itself hold spaces and parentheses, so it ends at the last ')'.
TaskStatus parseStat(const QByteArray &stat)
{
    TaskStatus status;
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return status;
    status.comm = stat.sliced(open + 1, close - open - 1);
    const QList<QByteArray> fields = stat.sliced(close + 1).simplified().split(' ');
    constexpr qsizetype flagsField = 6; // counted from the state field
    if (fields.size() > flagsField)
        status.isKernelThread = (fields.at(flagsField).toULong() & kernelThreadFlag) != 0;
    return status;
}

QByteArray firstArgument(const QByteArray &cmdline)
{
    const qsizetype end = cmdline.indexOf('\0');
    return end < 0 ? cmdline : cmdline.first(end);
}

bool yieldsName(const QString &entry)
{
    return !processNameFromEntry(entry).isEmpty();
}

// The process's entry for the name rules: the first source that yields a
// name, or nothing for a kernel thread. Kernel threads have neither an
// executable nor arguments, so `stat` is read only when both are missing.
std::optional<QString> processEntry(int root, const QByteArray &directory)
{
    QString entry = QString::fromUtf8(readLinkTarget(root, directory + "exe"));
    if (yieldsName(entry))
        return entry;
    entry = QString::fromUtf8(firstArgument(readFileStart(root, directory + "cmdline")));
    if (yieldsName(entry))
        return entry;
    const TaskStatus status = parseStat(readFileStart(root, directory + "stat"));
    if (status.isKernelThread)
        return std::nullopt;
    return QString::fromUtf8(status.comm);
}

} // namespace

ProcProcessSource::ProcProcessSource(QString procRoot) : m_procRoot(std::move(procRoot)) {}

QStringList ProcProcessSource::runningProcessNames() const
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

    QStringList entries;
    while (const dirent *entry = ::readdir(listing)) {
        if (!isProcessDirectoryName(entry->d_name))
            continue;
        const QByteArray directory = QByteArray(entry->d_name) + '/';
        if (std::optional<QString> entryText = processEntry(root, directory))
            entries.append(std::move(*entryText));
    }
    ::closedir(listing);
    ::close(root);
    return distinctProcessNames(entries);
}
