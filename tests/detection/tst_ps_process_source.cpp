// The child-process reader against small fake tools and the real /bin/ps.

#include "PsProcessSource.h"
#include "StandardOutputCapture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace std::chrono_literals;

class PsProcessSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void readsNamesFromTheToolsOutput();
    void passesTheArgumentsInOrder();
    void readsTheRealProcessTable();
    void launchFailureIsReported_data();
    void launchFailureIsReported();
    void unusableOutputGivesNothing_data();
    void unusableOutputGivesNothing();
    void outputLargerThanThePipeIsRead();
    void outputBeyondTheLimitIsRefused();
    void slowToolWithinTheDefaultLimitIsRead();
    void toolThatOverstaysIsStoppedAndReaped_data();
    void toolThatOverstaysIsStoppedAndReaped();
    void grandchildHoldingThePipeIsNotWaitedFor();

private:
    // A shell script named `name` in the test's directory, ready to run.
    QString script(const QString &name, const QByteArray &body);
    qint64 pidFromFile(const QString &name);
    static bool processExists(qint64 pid) { return QFileInfo::exists(u"/proc/%1"_qs.arg(pid)); }
    static QStringList sorted(QStringList names)
    {
        names.sort();
        return names;
    }

    QTemporaryDir m_dir;
};

QString PsProcessSourceTest::script(const QString &name, const QByteArray &body)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("#!/bin/sh\ncd '" + QFile::encodeName(m_dir.path()) + "'\n" + body + '\n');
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

qint64 PsProcessSourceTest::pidFromFile(const QString &name)
{
    QFile file(m_dir.filePath(name));
    for (int attempt = 0; attempt < 100 && file.size() == 0; ++attempt)
        QThread::msleep(10);
    file.open(QIODevice::ReadOnly);
    return file.readAll().trimmed().toLongLong();
}

void PsProcessSourceTest::readsNamesFromTheToolsOutput()
{
    const QString tool = script(u"table"_qs, R"(printf '  /usr/sbin/syslogd  \n'
printf '/Applications/Some App.app/Contents/MacOS/Some App\n-zsh\r\n'
printf '/a/tool\n/b/tool\n\n   \nCluely\n')");
    StandardOutputCapture output;
    const QStringList names = PsProcessSource(tool, {}).runningProcessNames();
    const QByteArray printed = output.text();
    QCOMPARE(sorted(names),
             QStringList({u"-zsh"_qs, u"Cluely"_qs, u"Some App"_qs, u"syslogd"_qs, u"tool"_qs}));
    QCOMPARE(printed, QByteArray());
}

void PsProcessSourceTest::passesTheArgumentsInOrder()
{
    const QString tool = script(u"echo-arguments"_qs, R"(for a in "$@"; do echo "$a"; done)");
    const QStringList names =
        PsProcessSource(tool, {u"-axo"_qs, u"comm="_qs, u"two words"_qs}).runningProcessNames();
    QCOMPARE(names, QStringList({u"-axo"_qs, u"comm="_qs, u"two words"_qs}));
}

void PsProcessSourceTest::readsTheRealProcessTable()
{
    StandardOutputCapture output;
    const QStringList names = PsProcessSource().runningProcessNames();
    QCOMPARE(output.text(), QByteArray());
    // ps shows at most 15 characters of this test's own name.
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY2(names.contains(self.left(15)), qPrintable(names.join(u", ")));
    QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
}

void PsProcessSourceTest::launchFailureIsReported_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("missing") << m_dir.filePath(u"no-such-tool"_qs)
                             << QByteArray("Error running ps command: No such file or directory\n");
    const QString notExecutable = m_dir.filePath(u"plain-file"_qs);
    QFile file(notExecutable);
    file.open(QIODevice::WriteOnly);
    QTest::newRow("not executable")
        << notExecutable << QByteArray("Error running ps command: Permission denied\n");
}

void PsProcessSourceTest::launchFailureIsReported()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, message);
    StandardOutputCapture output;
    const QStringList names = PsProcessSource(program, {}).runningProcessNames();
    QCOMPARE(output.text(), message);
    QCOMPARE(names, QStringList());
}

void PsProcessSourceTest::unusableOutputGivesNothing_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("invalid UTF-8") << QByteArray(R"(printf 'cluely\n\377\376\n')");
    QTest::newRow("encoded surrogate") << QByteArray(R"(printf 'cluely\n\355\240\200\n')");
    QTest::newRow("overlong encoding") << QByteArray(R"(printf 'cluely\n\300\257\n')");
    QTest::newRow("nothing") << QByteArray("exit 0");
    QTest::newRow("only blank lines") << QByteArray(R"(printf '\n \t\n\r\n')");
}

void PsProcessSourceTest::unusableOutputGivesNothing()
{
    QFETCH(QByteArray, body);
    const QString tool = script(QString::fromLatin1(QTest::currentDataTag()), body);
    StandardOutputCapture output;
    const QStringList names = PsProcessSource(tool, {}).runningProcessNames();
    QCOMPARE(output.text(), QByteArray());
    QCOMPARE(names, QStringList());
}

void PsProcessSourceTest::outputLargerThanThePipeIsRead()
{
    // About 2 MB, far more than a pipe holds unread.
    const QString tool = script(u"large"_qs, "seq -f '/usr/lib/process-number-%g' 1 100000");
    StandardOutputCapture output;
    const QStringList names = PsProcessSource(tool, {}).runningProcessNames();
    QCOMPARE(output.text(), QByteArray());
    QCOMPARE(names.size(), 100000);
    QVERIFY(names.contains(u"process-number-100000"_qs));
}

void PsProcessSourceTest::outputBeyondTheLimitIsRefused()
{
    // One tool stops at the limit and exits, one would write forever.
    const QString burst = script(u"burst"_qs, "echo $$ > burst.pid; seq 1 2000");
    const QString endless = script(u"endless"_qs, "echo $$ > endless.pid; exec yes cluely");
    ChildProcessLimits limits;
    limits.outputLimit = 4096;
    for (const QString &tool : {burst, endless}) {
        StandardOutputCapture output;
        const QStringList names = PsProcessSource(tool, {}, limits).runningProcessNames();
        QCOMPARE(output.text(), QByteArray());
        QCOMPARE(names, QStringList());
        const qint64 pid = pidFromFile(QFileInfo(tool).fileName() + u".pid"_qs);
        QVERIFY(pid > 0);
        QVERIFY2(!processExists(pid), "the child is still there, running or as a zombie");
    }
}

void PsProcessSourceTest::slowToolWithinTheDefaultLimitIsRead()
{
    const QString tool = script(u"slow"_qs, "sleep 1; echo late-tool");
    QCOMPARE(PsProcessSource(tool, {}).runningProcessNames(), QStringList({u"late-tool"_qs}));
}

void PsProcessSourceTest::toolThatOverstaysIsStoppedAndReaped_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("stops when asked") << QByteArray("echo early; exec sleep 30");
    QTest::newRow("ignores the request") << QByteArray("trap '' TERM; exec sleep 30");
}

void PsProcessSourceTest::toolThatOverstaysIsStoppedAndReaped()
{
    QFETCH(QByteArray, body);
    QFile::remove(m_dir.filePath(u"overstay.pid"_qs));
    const QString tool = script(u"overstay"_qs, "echo $$ > overstay.pid; " + body);
    ChildProcessLimits limits;
    limits.timeLimit = 300ms;
    limits.terminateGrace = 200ms;
    StandardOutputCapture output;
    const QStringList names = PsProcessSource(tool, {}, limits).runningProcessNames();
    QCOMPARE(output.text(), QByteArray("Process scan timed out\n"));
    QCOMPARE(names, QStringList());
    const qint64 pid = pidFromFile(u"overstay.pid"_qs);
    QVERIFY(pid > 0);
    QVERIFY2(!processExists(pid), "the child is still there, running or as a zombie");
}

void PsProcessSourceTest::grandchildHoldingThePipeIsNotWaitedFor()
{
    // The background sleep inherits the pipe and keeps it open after the tool exits.
    const QString tool = script(u"forks"_qs, "sleep 30 & echo $! > forks.pid; echo forking-tool");
    StandardOutputCapture output;
    const QStringList names = PsProcessSource(tool, {}).runningProcessNames();
    const qint64 grandchild = pidFromFile(u"forks.pid"_qs);
    if (grandchild > 0)
        ::kill(pid_t(grandchild), SIGKILL);
    QCOMPARE(output.text(), QByteArray());
    QCOMPARE(names, QStringList({u"forking-tool"_qs}));
}

QTEST_GUILESS_MAIN(PsProcessSourceTest)
#include "tst_ps_process_source.moc"
