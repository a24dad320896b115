// The child-process reader against small fake tools and the real /bin/ps.

#include "PsProcessSource.h"
#include "WriteFile.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

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
            // Invalid UTF-8: a stray byte, an encoded surrogate.
            {"cluely\n\xff\xfe\n", "", "", ""},
            {"cluely\n\xed\xa0\x80\n", "", "", ""},
            // About 3 MB, far more than a pipe holds unread.
            {"", "yes /usr/lib/big-tool | head -n 150000; echo end", "big-tool,end", ""},
            {"", "sleep 1; echo late", "late", ""},
            // The background sleep keeps the pipe open after the tool exits.
            {"", "sleep 5 & echo forks", "forks", ""},
            // Too slow, whether it stops when asked or not; writing without end.
            {"early\n", "exec sleep 30", "", timedOut},
            {"", "trap '' TERM; exec sleep 30", "", timedOut},
            {"", "exec yes cluely", "", ""},
        };
        int index = 0;
        for (const auto &[output, script, names, printed] : cases) {
            const QString tool = m_dir.filePath(u"tool"_qs + QString::number(++index));
            writeFile(tool + u".out"_qs, output);
            writeFile(tool,
                      "#!/bin/sh\necho $$ > \"$0.pid\"; cat \"$0.out\"\n" + QByteArray(script),
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            const auto [list, text] = read(PsProcessSource(tool, {u"two words"_qs, u"-x"_qs}));
            QCOMPARE(text, QByteArray(printed));
            QCOMPARE(list.join(u','), QString::fromUtf8(names));
            QFile pid(tool + u".pid"_qs);
            QVERIFY(pid.open(QIODevice::ReadOnly));
            QVERIFY2(!QFile::exists(u"/proc/"_qs + QString::fromLatin1(pid.readAll().trimmed())),
                     "the tool is still there, running or as a zombie");
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

    void readsTheRealProcessTable()
    {
        const auto [names, printed] = read(PsProcessSource());
        QCOMPARE(printed, QByteArray());
        // ps shows at most 15 characters of this test's own name.
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QVERIFY2(names.contains(self.left(15)), qPrintable(names.join(u", ")));
        QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(PsProcessSourceTest)
#include "tst_ps_process_source.moc"
