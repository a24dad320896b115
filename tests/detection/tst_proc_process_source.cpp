// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The /proc reader against a fake process tree: every name a process shows.

#include "WriteFile.h"
#include "detection/processes/ProcProcessSource.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// An asar archive whose directory lists `packageJson` as package.json, or
// marks it kept unpacked beside the archive.
QByteArray asarArchive(const QByteArray &packageJson, bool unpacked = false)
{
    QByteArray json = R"({"files":{"main.js":{"offset":"0","size":3},"package.json":{"offset":"3",)"
                      R"("size":)" +
                      QByteArray::number(packageJson.size()) +
                      (unpacked ? ",\"unpacked\":true}}}" : "}}}");
    const qsizetype padded = (json.size() + 3) / 4 * 4;
    const auto u32 = [](quint32 value) {
        return QByteArray(reinterpret_cast<const char *>(&value), 4);
    };
    return u32(4) + u32(quint32(8 + padded)) + u32(quint32(4 + padded)) +
           u32(quint32(json.size())) + json + QByteArray(padded - json.size(), '\0') + "abc" +
           packageJson;
}

// "source=name" of each process, by pid.
QStringList described(const QList<ObservedProcess> &processes)
{
    QStringList lines;
    for (const ObservedProcess &process : processes) {
        QStringList names;
        for (const ProcessName &name : process.names)
            names << nameSourceLabel(name.source) + u'=' + name.name;
        lines << QString::number(process.pid.value_or(-1)) + u": "_s + names.join(u", "_s);
    }
    lines.sort();
    return lines;
}

} // namespace

class ProcProcessSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void everyNameOfEachProcess();
};

void ProcProcessSourceTest::everyNameOfEachProcess()
{
    QTemporaryDir proc;
    QTemporaryDir apps;
    const auto app = [&apps](const QString &path) { return apps.filePath(path); };
    // Electron-style apps renamed "notes": by archive, by folder, and hostile ones.
    writeFile(app(u"a/resources/app.asar"_s),
              asarArchive(R"({"name":"cluely","productName":"Cluely","version":"1"})"));
    writeFile(app(u"b/resources/app/package.json"_s), R"({"name":"cluely-app"})");
    QVERIFY(QDir().mkpath(app(u"fifo/resources/app"_s)));
    QCOMPARE(::mkfifo(QFile::encodeName(app(u"fifo/resources/app/package.json"_s)), 0600), 0);
    {
        // 100 MB, sparse, whose header claims a 50 MB directory.
        QFile huge(app(u"huge/resources/app.asar"_s));
        QVERIFY(QDir().mkpath(app(u"huge/resources"_s)) && huge.open(QIODevice::WriteOnly));
        const QByteArray header = asarArchive("{}").first(16);
        huge.write(header.first(12) + QByteArray::fromHex("00008003"));
        QVERIFY(huge.resize(100 * 1024 * 1024));
    }
    writeFile(app(u"bad/resources/app.asar"_s), "not an archive at all");
    writeFile(app(u"unpacked/resources/app.asar"_s), asarArchive(R"({"name":"notes"})", true));
    writeFile(app(u"unpacked/resources/app.asar.unpacked/package.json"_s), R"({"name":"cluely"})");

    const auto stat = [](const char *comm) {
        return "1 (" + QByteArray(comm) + ") S 1 1 1 0 -1 0";
    };
    // Per pid: the exe link's target, the cmdline and the stat file.
    const std::tuple<const char *, QString, QByteArray, QByteArray> processes[] = {
        {"10", u"/usr/bin/gnome-shell"_s, "gnome-shell\0--replace\0"_ba, stat("gnome-shell")},
        {"11", u"/usr/lib/firefox/firefox (deleted)"_s, {}, stat("firefox")},
        {"12", {}, "/opt/Cluely/superstealthcluelyhelper\0-x\0"_ba, stat("superstealthcl")},
        {"13", {}, {}, stat("zoomhelper")}, // a zombie: only its comm
        {"14", {}, {}, "14 (x) (y z) S 1 1 1 0 -1 0"},
        {"15", {}, {}, "15 (cut short"},
        {"16", {}, "  \0/usr/bin/ignored\0"_ba, stat("blank-argv0")},
        {"2", {}, {}, "2 (kthreadd) S 0 0 0 0 -1 2129984"}, // a kernel thread
        {"20", u"/usr/bin/python3.11"_s, "python3\0/opt/cluely/main.py\0"_ba, stat("python3")},
        {"21", u"/usr/bin/python3.11"_s, "notes\0-m\0cluely\0"_ba, stat("python3")},
        {"22", u"/usr/bin/perl"_s, "perl\0bin/cluely-copilot\0"_ba, stat("perl")},
        {"23", u"/usr/bin/wine64-preloader"_s, "C:\\Apps\\Cluely\\Cluely.exe\0"_ba,
         stat("Cluely.exe")},
        {"24", app(u"a/notes"_s), "notes\0"_ba, stat("notes")},
        {"25", app(u"b/notes"_s), "notes\0"_ba, stat("notes")},
        {"26", app(u"fifo/notes"_s), "notes\0"_ba, stat("notes")},
        {"27", app(u"huge/notes"_s), "notes\0"_ba, stat("notes")},
        {"28", app(u"bad/notes"_s), "notes\0"_ba, stat("notes")},
        {"29", {}, "/x/" + QByteArray(1'000'000, 'a') + '\0', stat("a")}, // huge argv
        {"30", {}, "\xff\xfe"_ba, stat("\xc3")},
        // The comm comes from status when it has one, undoing the kernel's escapes.
        {"31", u"/usr/bin/notes"_s, "notes\0"_ba, stat("not-this")},
        {"32", u"/usr/bin/notes"_s, "notes\0"_ba, stat("not-this")},
        {"33", u"/usr/bin/notes"_s, "notes\0"_ba, stat("not-this")},
        {"34", u"/usr/bin/notes"_s, "notes\0"_ba, stat("from-stat")},
        {"35", {}, {}, stat("zombie-stat")}, // status is not asked without exe or arguments
        {"36", app(u"unpacked/notes"_s), "notes\0"_ba, stat("notes")},
        // No cut for display pushes a name out of reach.
        {"37", u"/usr/bin/python3.11"_s, "python3\0-m\0"_ba + QByteArray(300, 'x') + "cluely\0",
         stat("python3")},
    };
    const std::pair<const char *, QByteArray> statusFiles[] = {
        {"31", "Name:\tcl\\\\ue\\nly\nUmask:\t0022\n"},
        {"32", "Name:\tclu\\134ely\\012x\\9\\"},
        {"33", "Name:\t\nUid:\t1\n"},
        {"34", "Uid:\t1\nName:\tnot-first\n"},
        {"35", "Name:\tnot-this\n"},
    };
    for (const auto &[pid, status] : statusFiles)
        writeFile(proc.filePath(QString::fromLatin1(pid)) + u"/status"_s, status);
    for (const auto &[pid, exe, cmdline, statLine] : processes) {
        const QString dir = proc.filePath(QString::fromLatin1(pid)) + u'/';
        writeFile(dir + u"cmdline"_s, cmdline);
        writeFile(dir + u"stat"_s, statLine);
        if (!exe.isEmpty())
            QVERIFY(QFile::link(exe, dir + u"exe"_s));
    }
    QVERIFY(QFile::link(u"/home/ann"_s, proc.filePath(u"22/cwd"_s)));
    writeFile(proc.filePath(u"12a/cmdline"_s), "not-a-process");
    writeFile(proc.filePath(u"self/cmdline"_s), "not-a-process");
    QVERIFY(QDir().mkpath(proc.filePath(u"40"_s))); // a process that left

    // A name is kept whole, up to what the bounded read of cmdline gives.
    const QString longName = u"a"_s.repeated(64 * 1024 - 3);
    QCOMPARE(described(ProcProcessSource(proc.path(), u"/root"_s).runningProcesses()),
             (QStringList{
                 u"10: exe=gnome-shell, argv0=gnome-shell, comm=gnome-shell"_s,
                 u"11: exe=firefox, comm=firefox"_s,
                 u"12: argv0=superstealthcluelyhelper, comm=superstealthcl, argv0-folder=Cluely"_s,
                 u"13: comm=zoomhelper"_s,
                 u"14: comm=x) (y z"_s,
                 u"16: comm=blank-argv0"_s,
                 u"20: exe=python3.11, argv0=python3, comm=python3, script=main.py, "
                 u"script-folder=cluely"_s,
                 u"21: exe=python3.11, argv0=notes, comm=python3, module=cluely"_s,
                 u"22: exe=perl, argv0=perl, comm=perl, script=cluely-copilot"_s,
                 u"23: exe=wine64-preloader, argv0=Cluely.exe, comm=Cluely.exe, "
                 u"script=Cluely.exe, script-folder=Cluely"_s, // folders only as they match
                 u"24: exe=notes, argv0=notes, comm=notes, package-name=cluely, "
                 u"package-product-name=Cluely"_s,
                 u"25: exe=notes, argv0=notes, comm=notes, package-name=cluely-app"_s,
                 u"26: exe=notes, argv0=notes, comm=notes"_s,
                 u"27: exe=notes, argv0=notes, comm=notes"_s,
                 u"28: exe=notes, argv0=notes, comm=notes"_s,
                 u"29: argv0="_s + longName + u", comm=a"_s,
                 u"30: argv0=\uFFFD\uFFFD, comm=\uFFFD"_s,
                 u"31: exe=notes, argv0=notes, comm=cl\\ue\nly"_s,
                 u"32: exe=notes, argv0=notes, comm=clu\\ely\nx\\9\\"_s,
                 u"33: exe=notes, argv0=notes"_s, // an empty Name: no comm
                 u"34: exe=notes, argv0=notes, comm=from-stat"_s,
                 u"35: comm=zombie-stat"_s,
                 u"36: exe=notes, argv0=notes, comm=notes, package-name=cluely"_s,
                 u"37: exe=python3.11, argv0=python3, comm=python3, module="_s +
                     u"x"_s.repeated(300) + u"cluely"_s,
             }));
    // A root that is missing, empty or a file gives nothing.
    for (const QString &root :
         {proc.filePath(u"missing"_s), QString(), proc.filePath(u"12a/cmdline"_s)})
        QCOMPARE(ProcProcessSource(root).runningProcesses(), QList<ObservedProcess>());
}

QTEST_GUILESS_MAIN(ProcProcessSourceTest)
#include "tst_proc_process_source.moc"
