// The /proc reader against fake process trees and this machine's /proc.

#include "ProcProcessSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One process directory of a fake /proc tree.
struct FakeProcess
{
    QByteArray pid;
    QByteArray exeTarget; // no `exe` link when empty
    QByteArray cmdline;   // no `cmdline` file when null
    QByteArray comm = "comm";
    unsigned long flags = 0x00400100;
};

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(contents);
}

void addProcess(const QDir &root, const FakeProcess &process)
{
    root.mkpath(QString::fromLatin1(process.pid));
    const QString directory = root.filePath(QString::fromLatin1(process.pid)) + u'/';
    writeFile(directory + u"stat"_qs, process.pid + " (" + process.comm + ") S 1 1 1 0 -1 " +
                                          QByteArray::number(qulonglong(process.flags)) +
                                          " 120 0 0 0 0 0 20 0 1 0\n");
    if (!process.exeTarget.isEmpty())
        QFile::link(QFile::decodeName(process.exeTarget), directory + u"exe"_qs);
    if (!process.cmdline.isNull())
        writeFile(directory + u"cmdline"_qs, process.cmdline);
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

} // namespace

class ProcProcessSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void eachProcessGetsItsBestName();
    void kernelThreadsAndOtherEntriesAreSkipped();
    void oddContentsAreHandled();
    void unreadableRootGivesNothing();
    void readsThisMachinesFullNames();
};

void ProcProcessSourceTest::eachProcessGetsItsBestName()
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    addProcess(root, {"10", "/usr/bin/gnome-shell", QByteArray("gnome-shell\0--replace\0", 22)});
    addProcess(root, {"11", {}, QByteArray("/opt/Cluely/superstealthcluelyhelper\0-x\0", 41)});
    addProcess(root, {"12", {}, {}, "zoomhelper"});
    addProcess(root, {"13", {}, QByteArray("", 0), "fallback"});
    addProcess(root, {"14", "/usr/lib/firefox/firefox (deleted)", "firefox-bin"});
    addProcess(root, {"15", "/usr/bin/gnome-shell", {}});
    addProcess(root, {"16", {}, QByteArray("  \0/usr/bin/ignored\0", 20), "blank-argv0"});

    const QStringList names = ProcProcessSource(dir.path()).runningProcessNames();
    QCOMPARE(sorted(names),
             QStringList({u"blank-argv0"_qs, u"fallback"_qs, u"firefox"_qs, u"gnome-shell"_qs,
                          u"superstealthcluelyhelper"_qs, u"zoomhelper"_qs}));
}

void ProcProcessSourceTest::kernelThreadsAndOtherEntriesAreSkipped()
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    addProcess(root, {"2", {}, QByteArray(""), "kthreadd", 0x00208040});
    addProcess(root, {"30", {}, QByteArray(""), "kworker/0:1-events", 0x04208060});
    addProcess(root, {"31", {}, QByteArray("user-tool\0", 10)});
    root.mkpath(u"self"_qs);
    root.mkpath(u"12a"_qs);
    writeFile(root.filePath(u"12a/cmdline"_qs), "not-a-process");
    writeFile(root.filePath(u"uptime"_qs), "1.0 1.0\n");

    QCOMPARE(ProcProcessSource(dir.path()).runningProcessNames(), QStringList({u"user-tool"_qs}));
}

void ProcProcessSourceTest::oddContentsAreHandled()
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    // A comm holding spaces and parentheses, a stat cut short, invalid UTF-8,
    // an argv[0] far longer than a path, and a process with no files at all.
    addProcess(root, {"40", {}, {}, "x) (y z"});
    root.mkpath(u"41"_qs);
    writeFile(root.filePath(u"41/stat"_qs), "41 (short");
    writeFile(root.filePath(u"41/cmdline"_qs), QByteArray("/bin/clu\xff"
                                                          "ely\0",
                                                          13));
    addProcess(root, {"42", {}, QByteArray(100'000, 'a') + QByteArray("\0", 1)});
    root.mkpath(u"43"_qs);
    addProcess(root, {"44", {}, {}, "\xc3"});

    const QStringList names = ProcProcessSource(dir.path()).runningProcessNames();
    QCOMPARE(names.size(), 4);
    QVERIFY(names.contains(u"x) (y z"_qs));
    QVERIFY(names.contains(u"clu\uFFFDely"_qs));
    QVERIFY(names.contains(u"\uFFFD"_qs));
    QVERIFY(names.contains(QString(4096, u'a')));
}

void ProcProcessSourceTest::unreadableRootGivesNothing()
{
    QTemporaryDir dir;
    QVERIFY(ProcProcessSource(dir.filePath(u"missing"_qs)).runningProcessNames().isEmpty());
    QVERIFY(ProcProcessSource(QString()).runningProcessNames().isEmpty());
    writeFile(dir.filePath(u"file"_qs), "");
    QVERIFY(ProcProcessSource(dir.filePath(u"file"_qs)).runningProcessNames().isEmpty());
}

void ProcProcessSourceTest::readsThisMachinesFullNames()
{
    // A child whose name is longer than the 15 characters ps would show.
    QTemporaryDir dir;
    const QString helper = dir.filePath(u"superstealthcluelyhelper"_qs);
    QVERIFY(QFile::copy(u"/bin/sleep"_qs, helper));
    QProcess child;
    child.start(helper, {u"30"_qs});
    QVERIFY(child.waitForStarted());

    const QStringList names = ProcProcessSource().runningProcessNames();
    child.kill();
    child.waitForFinished();

    QVERIFY2(names.contains(u"superstealthcluelyhelper"_qs), qPrintable(names.join(u", ")));
    QVERIFY(names.contains(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
}

QTEST_GUILESS_MAIN(ProcProcessSourceTest)
#include "tst_proc_process_source.moc"
