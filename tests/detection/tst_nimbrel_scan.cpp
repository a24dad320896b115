// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-scan as an administrator runs it: output lines and exit status.

#include "SchemaCheck.h"
#include "WriteFile.h"
#include "XvfbServer.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class NimbrelScanTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The scans read a display of their own and no graphical session of
        // the machine's: X servers of tests running meanwhile would be sessions
        // they do not read, and say so.
        QVERIFY2(m_display.start(), "Xvfb did not start");
        m_scanEnvironment.insert(u"DISPLAY"_qs, m_display.display());
        m_scanEnvironment.insert(u"XDG_RUNTIME_DIR"_qs, m_programs.path());
        m_scanEnvironment.remove(u"XDG_SESSION_TYPE"_qs);
    }

    void reportsRealProcessesByEveryName_data();
    void reportsRealProcessesByEveryName();

    void saysWhenBlinded_data();
    void saysWhenBlinded();

    void exitStatus()
    {
        QTemporaryDir proc;
        writeFile(proc.filePath(u"found/7/cmdline"_qs), "/usr/bin/bash");
        writeFile(proc.filePath(u"found/8/cmdline"_qs), "/tmp/Y2x1ZWx5");
        // A name that would erase its own line on a terminal, or read backwards.
        writeFile(proc.filePath(u"found/9/cmdline"_qs), "cluely-zap\x1b[2K\r\xe2\x80\xae");
        QVERIFY(QDir(proc.path()).mkdir(u"empty"_qs));
        const std::tuple<QStringList, int, QByteArray> cases[] = {
            {{u"--proc-root"_qs, proc.filePath(u"empty"_qs)}, 0, ""},
            {{u"--proc-root"_qs, proc.filePath(u"found"_qs)},
             1,
             "\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: Y2x1ZWx5\n"
             "\xF0\x9F\x9A\xA8 CLUELY DETECTED - Process: cluely-zap\\x1b[2K\\x0d\\u{202e}\n"},
            {{u"--bogus"_qs}, 2, ""},
            {{u"now"_qs}, 2, ""},
            {{u"--ps"_qs, u"--proc-root"_qs, u"/proc"_qs}, 2, ""},
            {{u"--json"_qs, u"--explain"_qs}, 2, ""},
            {{u"--json"_qs, u"--apps"_qs}, 2, ""},
        };
        for (const auto &[arguments, status, expected] : cases) {
            QByteArray out, err;
            QCOMPARE(scan(arguments, out, &err), status);
            // In the order the tree lists its folders.
            QList<QByteArray> lines = out.split('\n');
            QList<QByteArray> expectedLines = expected.split('\n');
            std::sort(lines.begin(), lines.end());
            std::sort(expectedLines.begin(), expectedLines.end());
            QCOMPARE(lines, expectedLines);
            // Usage errors, and only they, point to the help.
            QCOMPARE(err.contains("Try 'nimbrel-scan --help'."), status == 2);
        }
        // The same findings as one document, valid against the schema.
        QByteArray found, empty;
        QCOMPARE(scan({u"--json"_qs, u"--proc-root"_qs, proc.filePath(u"found"_qs)}, found), 1);
        QCOMPARE(scan({u"--json"_qs, u"--proc-root"_qs, proc.filePath(u"empty"_qs)}, empty), 0);
        QCOMPARE(schemaVerdicts({found, empty}), QStringList({u"valid"_qs, u"valid"_qs}));
        QCOMPARE(QJsonDocument::fromJson(found)[u"findings"_qs].toArray().size(), 2);
        QByteArray help;
        QCOMPARE(scan({u"--help"_qs}, help), 0);
        QVERIFY(help.contains("Exit status: 0 when nothing was found, 1 when something was, 2"));
    }

private:
    QTemporaryDir m_programs;
    XvfbServer m_display;
    QProcessEnvironment m_scanEnvironment = QProcessEnvironment::systemEnvironment();

    // Runs nimbrel-scan; returns its exit status and fills `out` and `err`.
    int scan(const QStringList &arguments, QByteArray &out, QByteArray *err = nullptr) const
    {
        QProcess scan;
        scan.setProcessEnvironment(m_scanEnvironment);
        scan.start(QStringLiteral(NIMBREL_SCAN_PATH), arguments);
        if (!scan.waitForFinished(60'000) || scan.exitStatus() != QProcess::NormalExit)
            return -1;
        out = scan.readAllStandardOutput();
        if (err)
            *err = scan.readAllStandardError();
        return scan.exitCode();
    }
};

void NimbrelScanTest::reportsRealProcessesByEveryName_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("input"); // a file for standard input, else a pipe

    // Scripts that run until the test ends them; names are unusual so that no
    // line of another test running meanwhile holds them.
    const auto script = [this](const QString &path, const QByteArray &text) {
        writeFile(m_programs.filePath(path), text);
        return m_programs.filePath(path);
    };
    const QByteArray pythonWait = "import sys\nsys.stdin.read()\n";
    // A folder only mentions the tool, however deep below it the script lies.
    QTest::newRow("python3 script in a folder")
        << u"/usr/bin/python3"_qs << QStringList{script(u"cluelyqa/a/b/c/d/main.py"_qs, pythonWait)}
        << u"⚠️ POSSIBLE CLUELY - Folder: cluelyqa (Process: "_qs << QString();
    // Any runtime's program file is found among its arguments, whatever
    // options and runner modules come first.
    QFile::copy(u"/bin/cat"_qs, m_programs.filePath(u"cluelyqf"_qs));
    QTest::newRow("the dynamic loader")
        << u"/lib64/ld-linux-x86-64.so.2"_qs << QStringList{m_programs.filePath(u"cluelyqf"_qs)}
        << u"🚨 CLUELY DETECTED - Process: cluelyqf"_qs << QString();
    QTest::newRow("a runner module")
        << u"/usr/bin/python3"_qs
        << QStringList{u"-m"_qs, u"cProfile"_qs, script(u"cluelyqg.py"_qs, pythonWait)}
        << u"🚨 CLUELY DETECTED - Process: cluelyqg.py"_qs << QString();
    script(u"qh/package.json"_qs, R"({"name": "cluelyqh"})");
    QTest::newRow("node options, the script's package")
        << u"/usr/bin/node"_qs
        << QStringList{u"--unhandled-rejections"_qs, u"strict"_qs,
                       script(u"qh/main.js"_qs, "process.stdin.resume();\n")}
        << u"🚨 CLUELY DETECTED - Process: cluelyqh"_qs << QString();
    // A script that rewrites its title is still known by the files it holds.
    QTest::newRow("perl rewrites its title")
        << u"/usr/bin/perl"_qs
        << QStringList{script(u"qj/run.pl"_qs,
                              "open(my $f, '>', '" +
                                  m_programs.filePath(u"cluelyqj/state"_qs).toUtf8() +
                                  "'); $0 = 'kworker/7:1'; my @all = <STDIN>;\n")}
        << u"⚠️ POSSIBLE CLUELY - Folder: cluelyqj (Process: perl)"_qs << QString();
    QDir(m_programs.path()).mkdir(u"cluelyqj"_qs);
    QTest::newRow("python3 reads its program from standard input")
        << u"/usr/bin/python3"_qs << QStringList{u"-"_qs}
        << u"🚨 CLUELY DETECTED - Process: cluelyqk.py"_qs
        << script(u"cluelyqk.py"_qs, "import time\ntime.sleep(60)\n");
}

void NimbrelScanTest::reportsRealProcessesByEveryName()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    QFETCH(QString, input);
    if (!QFile::exists(program))
        QSKIP(qPrintable(program + u" is not installed"_qs));
    QProcess child;
    if (!input.isEmpty())
        child.setStandardInputFile(input);
    child.start(program, arguments);
    QVERIFY(child.waitForStarted());
    // The child renames itself once running: scan until a line starts with `line`.
    QByteArray out;
    QTRY_VERIFY2_WITH_TIMEOUT(scan({}, out) == 1 && ('\n' + out).contains('\n' + line.toUtf8()),
                              out.constData(), 20'000);
    child.kill();
    QVERIFY(child.waitForFinished());
}

// A scan that cannot see the whole machine says so, and what it cannot see:
// as a line of its own and in the coverage --explain prints after the lines.
void NimbrelScanTest::saysWhenBlinded_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("coverage");
    QTest::newRow("its own PID namespace")
        << u"unshare -Urpf --mount-proc \"$0\" --explain"_qs
        << QByteArray("⚠️ SCAN LIMITED - processes outside Nimbrel's own PID namespace")
        << QByteArray("processes: could not see processes outside Nimbrel's own PID namespace");
    QTest::newRow("hidepid")
        << u"unshare -m --propagation private sh -c 'mount -t proc -o hidepid=invisible proc "
           u"/proc && exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" --explain' "
           u"\"$0\""_qs
        << QByteArray("⚠️ SCAN LIMITED - other users' processes (hidepid)")
        << QByteArray("processes: could not see other users' processes (hidepid)");
    // No X server's socket in view, no session in the environment; alone in
    // its PID namespace, so that no other program running here adds a line.
    QTest::newRow("no display")
        << u"unshare -mpf --mount-proc --propagation private sh -c 'mount -t tmpfs none "
           u"/tmp/.X11-unix && exec env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE "
           u"XDG_RUNTIME_DIR=/proc/1 \"$0\" --explain' \"$0\""_qs
        << QByteArray("⚠️ SCAN LIMITED - processes outside Nimbrel's own PID namespace")
        << QByteArray("windows: no graphical session was found, so only processes were read");
}

void NimbrelScanTest::saysWhenBlinded()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, coverage);
    if (::geteuid() != 0)
        QSKIP("needs root to make namespaces and mounts");
    QProcess scan;
    scan.start(u"sh"_qs, {u"-c"_qs, command, QStringLiteral(NIMBREL_SCAN_PATH)});
    QVERIFY(scan.waitForFinished(60'000));
    const QByteArray out = scan.readAllStandardOutput();
    const QList<QByteArray> lines = out.split('\n');
    QCOMPARE(scan.exitCode(), 1);
    QVERIFY2(lines.contains(line), out + scan.readAllStandardError());
    const qsizetype coverageHeading = lines.indexOf("Coverage:");
    QVERIFY2(coverageHeading >= 0 && lines.indexOf("    " + coverage) > coverageHeading, out);
}

QTEST_GUILESS_MAIN(NimbrelScanTest)
#include "tst_nimbrel_scan.moc"
