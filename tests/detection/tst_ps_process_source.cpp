// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The child-process reader against small fake tools and the real /bin/ps.

#include "WriteFile.h"
#include "detection/processes/PsProcessSource.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// The names the reader gives, sorted, and what it prints on standard output meanwhile.
std::pair<QStringList, QByteArray> read(const PsProcessSource &source)
{
    QTemporaryFile capture;
    capture.open();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(capture.handle(), STDOUT_FILENO);
    QStringList names = source.runningProcessNames();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    capture.seek(0);
    names.sort();
    return {names, capture.readAll()};
}

// Whether any process of the group led by `leader` still runs. A zombie
// counts as gone: an orphan is reaped by whichever process adopts it, not by
// this test.
bool groupIsRunning(pid_t leader)
{
    for (const QString &entry : QDir(u"/proc"_qs).entryList(QDir::Dirs)) {
        bool isPid = false;
        const pid_t pid = pid_t(entry.toInt(&isPid));
        QFile stat(u"/proc/"_qs + entry + u"/stat"_qs);
        if (!isPid || ::getpgid(pid) != leader || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        if (!line.sliced(line.lastIndexOf(')') + 1).trimmed().startsWith('Z'))
            return true;
    }
    return false;
}

// The pid a tool wrote to its file; 0 before it has.
pid_t toolPid(const QString &pidFile)
{
    QFile file(pidFile);
    return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
}

} // namespace

class PsProcessSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void fakeTools()
    {
        const char *timedOut = "Process scan timed out\n";
        // Each fake tool prints `output`, then runs `script`; the names come
        // sorted and joined with commas.
        const char *const cases[][4] = {
            // output, script, names, printed
            {"a\nb\r\nc\rd\u2028e\u2029f\u0085g\vh\fi\n", "", "a,b,c,d,e,f,g,h,i", ""},
            // Trimmed, last component, distinct.
            {"  /usr/sbin/syslogd  \n/Apps/Some App.app/Some App\n-zsh\n/a/tool\n/b/tool \n\n  \n",
             "", "-zsh,Some App,syslogd,tool", ""},
            {"\t\u00A0/opt/tool\u3000\u2009\n\u200Bzero-width\n", "", "tool,\u200Bzero-width", ""},
            {"/opt/ tool\n/opt/x///\n /// \n/\n", "", " tool,/,x", ""},
            // Case matters; canonically equivalent spellings collapse into the first.
            {"Tool\ntool\ncaf\u00E9\n/x/cafe\u0301\n", "", "Tool,caf\u00E9,tool", ""},
            {"", R"(for a in "$@"; do echo "$a"; done)", "-x,two words", ""},
            // Invalid UTF-8.
            {"cluely\n\xff\xfe\n", "", "", ""},
            // About 3 MB, far more than a pipe holds unread.
            {"", "yes /usr/lib/big-tool | head -n 150000; echo end", "big-tool,end", ""},
            {"", "sleep 1; echo late", "late", ""},
            // The background sleep keeps the pipe open after the tool exits.
            {"", "sleep 5 & echo forks", "forks", ""},
            // Too slow, whether it stops when asked or not; writing without end.
            {"early\n", "exec sleep 30", "", timedOut},
            {"", "trap '' TERM; exec sleep 30", "", timedOut},
            {"", "exec yes cluely", "", ""},
            // Stopping the tool stops what it started: this pipeline never writes.
            {"", "sleep 30 | sleep 30", "", timedOut},
        };
        int index = 0;
        for (const auto &[output, script, names, printed] : cases) {
            const QString tool = m_dir.filePath(u"tool"_qs + QString::number(++index));
            writeFile(tool + u".out"_qs, output);
            writeFile(tool,
                      "#!/bin/sh\necho $$ > \"$0.pid\"; cat \"$0.out\"\n" + QByteArray(script),
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            // Whatever a tool left running goes, even when a comparison fails.
            const QString pidFile = tool + u".pid"_qs;
            const auto killGroup = qScopeGuard([&] {
                if (const pid_t leader = toolPid(pidFile); leader > 0)
                    ::kill(-leader, SIGKILL);
            });
            // Only the cases that time out wait for the time limit: the others
            // get one no busy machine reaches, and a small output limit, so
            // that which limit comes first never depends on the load.
            const bool timesOut = QByteArray(printed) == timedOut;
            const ChildProcessLimits limits{.timeLimit = timesOut ? 300ms : 60s,
                                            .outputLimit = 4 * 1024 * 1024};
            const auto [list, text] =
                read(PsProcessSource(tool, {u"two words"_qs, u"-x"_qs}, limits));
            const pid_t leader = toolPid(pidFile);
            QCOMPARE(text, QByteArray(printed));
            QCOMPARE(list.join(u','), QString::fromUtf8(names));
            QVERIFY2(!QFile::exists(u"/proc/"_qs + QString::number(leader)),
                     "the tool is still there, running or as a zombie");
            if (timesOut)
                QTRY_VERIFY2(!groupIsRunning(leader), "what the tool started still runs");
        }
    }

    void launchFailureIsReported()
    {
        const QString plainFile = m_dir.filePath(u"plain-file"_qs);
        writeFile(plainFile, "echo cluely\n");
        for (const auto &[program, reason] :
             {std::pair{m_dir.filePath(u"missing"_qs), "No such file or directory"},
              {plainFile, "Permission denied"}}) {
            const auto [names, printed] = read(PsProcessSource(program, {}));
            QCOMPARE(printed, QByteArray("Error running ps command: ") + reason + '\n');
            QCOMPARE(names, QStringList());
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(PsProcessSourceTest)
#include "tst_ps_process_source.moc"
