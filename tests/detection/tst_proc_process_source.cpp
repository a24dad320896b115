// The /proc reader against a fake process tree.

#include "ProcProcessSource.h"
#include "WriteFile.h"

#include <QTemporaryDir>
#include <QTest>

class ProcProcessSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void eachProcessGetsItsBestName()
    {
        // Each `exe` is a link to the text given; `stat` holds "pid (comm) state
        // ppid pgrp session tty tpgid flags".
        const std::pair<const char *, QByteArray> files[] = {
            {"10/exe", "/usr/bin/gnome-shell"}, // before argv[0]
            {"10/cmdline", QByteArray("not-this\0--replace\0", 19)},
            {"11/exe", "/usr/bin/gnome-shell"},
            {"12/cmdline", QByteArray("/opt/Cluely/superstealthcluelyhelper\0-x\0", 41)},
            {"13/exe", "/usr/lib/firefox/firefox (deleted)"},
            {"14/stat", "14 (zoomhelper) S 1 1 1 0 -1 0"}, // the comm, when nothing else
            {"15/cmdline", ""},
            {"15/stat", "15 (empty-cmdline) S 1 1 1 0 -1 0"},
            {"16/cmdline", QByteArray("  \0/usr/bin/ignored\0", 20)},
            {"16/stat", "16 (blank-argv0) S 1 1 1 0 -1 0"},
            {"17/stat", "17 (x) (y z) S 1 1 1 0 -1 0"},
            {"18/stat", "18 (cut short"},
            {"19/cmdline", "/bin/clu\xff\x65ly"},
            {"20/stat", "20 (\xc3) S 1 1 1 0 -1 0"},
            {"21/cmdline", QByteArray(100'000, 'a')},
            {"2/stat", "2 (kthreadd) S 0 0 0 0 -1 2129984"}, // a kernel thread
            {"12a/cmdline", "not-a-process"},
            {"self/cmdline", "not-a-process"},
            {"uptime", "1.0 1.0\n"},
            {"22/no-such", ""}, // a process whose files are gone
        };
        QTemporaryDir dir;
        for (const auto &[path, contents] : files) {
            const QString file = dir.filePath(QString::fromLatin1(path));
            if (file.endsWith(u"/exe"))
                QVERIFY(QDir().mkpath(QFileInfo(file).path()) &&
                        QFile::link(QString::fromUtf8(contents), file));
            else
                writeFile(file, contents);
        }
        QStringList names = ProcProcessSource(dir.path()).runningProcessNames();
        names.sort();
        QCOMPARE(names, QStringList({QString(4096, u'a'), u"blank-argv0"_qs, u"clu\uFFFDely"_qs,
                                     u"empty-cmdline"_qs, u"firefox"_qs, u"gnome-shell"_qs,
                                     u"superstealthcluelyhelper"_qs, u"x) (y z"_qs,
                                     u"zoomhelper"_qs, u"\uFFFD"_qs}));
    }

    void unreadableRootGivesNothing()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"file"_qs), "");
        for (const QString &root :
             {dir.filePath(u"missing"_qs), QString(), dir.filePath(u"file"_qs)})
            QCOMPARE(ProcProcessSource(root).runningProcessNames(), QStringList());
    }
};

QTEST_GUILESS_MAIN(ProcProcessSourceTest)
#include "tst_proc_process_source.moc"
