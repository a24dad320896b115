// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/processes/ChildProcess.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Launches the child with its standard output on `writeEnd`; returns 0 or an errno value.
int spawn(const QString &program, const QStringList &arguments, int writeEnd, pid_t *pid)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &bytes : storage)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, STDOUT_FILENO);

    // The child starts with default signal handling and nothing blocked,
    // whatever this program has set up for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signalSet;
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    // A process group of its own, so that stopping it stops whatever it started too.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETPGROUP);

    const int result = posix_spawn(pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

// Reads what the pipe holds now, up to the limit. Returns false at end of file.
bool drain(int fd, QByteArray &output, qsizetype limit)
{
    char buffer[65536];
    while (output.size() < limit) {
        const ssize_t count =
            ::read(fd, buffer, std::min<qsizetype>(sizeof buffer, limit - output.size()));
        if (count > 0) {
            output.append(buffer, count);
        } else if (count == 0) {
            return false;
        } else if (errno != EINTR) {
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
    return true;
}

// Whether the child has ended, reaping it if so.
bool reaped(pid_t pid, int options)
{
    for (;;) {
        const pid_t result = ::waitpid(pid, nullptr, options);
        if (result == pid)
            return true;
        if (result == 0)
            return false;
        if (errno != EINTR)
            return true; // not our child any more (reaped elsewhere)
    }
}

// Whether the child has ended, leaving it to be reaped: until it is, its pid
// (and so its process group's id) cannot be reused.
bool exited(pid_t pid)
{
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
            return info.si_pid == pid;
        if (errno != EINTR)
            return true; // not our child any more (reaped elsewhere)
    }
}

// Stops the child and everything in its process group (a shell's pipeline,
// say), and reaps the child; the group's other processes were never ours to reap.
void stopAndReap(pid_t pid, milliseconds grace)
{
    ::kill(-pid, SIGTERM);
    const Clock::time_point giveUp = Clock::now() + grace;
    while (!exited(pid) && Clock::now() < giveUp)
        std::this_thread::sleep_for(milliseconds(5));
    ::kill(-pid, SIGKILL); // whatever of the group is still there
    reaped(pid, 0);
}

} // namespace

ChildProcessRun runChildProcess(const QString &program, const QStringList &arguments,
                                const ChildProcessLimits &limits)
{
    ChildProcessRun run;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        run.errorDescription = qt_error_string(errno);
        return run;
    }
    FileDescriptor readEnd(ends[0]);
    FileDescriptor writeEnd(ends[1]);
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);

    pid_t pid = 0;
    if (const int error = spawn(program, arguments, writeEnd.get(), &pid); error != 0) {
        run.errorDescription = qt_error_string(error);
        return run;
    }
    // Only the child may hold the write end, or the output never ends.
    writeEnd.reset();

    const Clock::time_point deadline = Clock::now() + limits.timeLimit;
    bool open = true;
    for (;;) {
        if (open)
            open = drain(readEnd.get(), run.output, limits.outputLimit);
        if (run.output.size() >= limits.outputLimit) {
            run.outcome = ChildProcessRun::Outcome::OutputTooLarge;
            break;
        }
        if (reaped(pid, WNOHANG)) {
            // What the child wrote is all in the pipe now; a grandchild that
            // kept the pipe open is not waited for.
            if (open)
                drain(readEnd.get(), run.output, limits.outputLimit);
            if (run.output.size() < limits.outputLimit) {
                run.outcome = ChildProcessRun::Outcome::Finished;
                return run;
            }
            run.outcome = ChildProcessRun::Outcome::OutputTooLarge;
            run.output.clear();
            return run;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            run.outcome = ChildProcessRun::Outcome::TimedOut;
            break;
        }
        auto wait = std::min(limits.pollInterval, std::chrono::ceil<milliseconds>(deadline - now));
        // After end of file the child is about to exit: look again soon.
        if (!open)
            wait = std::min(wait, milliseconds(5));
        pollfd readable{readEnd.get(), POLLIN, 0};
        ::poll(&readable, open ? 1 : 0, int(wait.count()));
    }

    readEnd.reset(); // a child blocked on a full pipe now gets EPIPE
    stopAndReap(pid, limits.terminateGrace);
    run.output.clear();
    return run;
}
