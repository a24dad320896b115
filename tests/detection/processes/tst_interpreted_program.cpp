// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The program an interpreter runs, and the names it shows, from its arguments.

#include "detection/processes/InterpretedProgram.h"

#include <QTest>

using namespace Qt::StringLiterals;

class InterpretedProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void programAndNames_data();
    void programAndNames();
};

void InterpretedProgramTest::programAndNames_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("commandLine"); // argv joined by '|'
    QTest::addColumn<QString>("program"); // its path, or "module:NAME"; "|" and what a runner runs

    const auto row = [](const char *name, const char *executable, const char *commandLine,
                        const char *program) {
        QTest::newRow(name) << QString::fromUtf8(executable) << QString::fromUtf8(commandLine)
                            << QString::fromUtf8(program);
    };
    row("python script", "python3.11", "python3|/opt/cluely/main.py|--x", "/opt/cluely/main.py");
    row("python flags and values", "python3", "python3|-u|-W|ignore|-Bu|/srv/a/b/c/d/x.py",
        "/srv/a/b/c/d/x.py");
    row("python -m", "python3", "python3|-m|cluely.main", "module:cluely.main");
    row("python -m attached", "python3.11", "python3|-Bmcluely", "module:cluely");
    row("runner module", "python3", "python3|-m|cProfile|-o|out|Cluely/cluely.py|--x",
        "module:cProfile|out,Cluely/cluely.py");
    row("runner module, module", "pypy3", "pypy3|-m|runpy|cluely", "module:runpy|cluely");
    row("python -c", "python3", "python3|-c|import cluely", "");
    row("python combined -c", "python3", "python3|-Ic|code", "");
    row("python from stdin", "python3", "python3|-", "");
    row("python with nothing", "python3", "python3", "");
    row("pip-style script in a home", "python3", "python3|/home/ann/.local/bin/cluely-copilot",
        "/home/ann/.local/bin/cluely-copilot");
    row("relative script, working folder known", "python3", "python3|bin/run.py",
        "/opt/cluely/app/bin/run.py");
    row("node", "node", "node|--inspect=9229|-r|ts-node/register|cluely.js",
        "/opt/cluely/app/cluely.js");
    row("node -e", "node", "node|-e|1", "");
    row("deno run", "deno", "deno|run|--allow-net|-c|deno.json|/opt/x/cluely.ts", "/opt/x/cluely.ts");
    row("deno eval", "deno", "deno|eval|1", "");
    row("bun run", "bun", "bun|run|/usr/local/lib/cluely/index.js", "/usr/local/lib/cluely/index.js");
    row("perl", "perl5.36.0", "perl|-w|-Ilib|/tmp/cluely-copilot", "/tmp/cluely-copilot");
    row("perl -e combined", "perl", "perl|-wle|print", "");
    row("ruby", "ruby3.1", "ruby|-I|lib|-rjson|/opt/c/cluely.rb", "/opt/c/cluely.rb");
    row("php -f", "php8.2", "php|-d|x=1|-f|/var/www/cluely.php", "/var/www/cluely.php");
    row("php -r", "php", "php|-r|echo 1;", "");
    row("java -jar", "java", "java|-Xmx1g|-cp|x.jar|-jar|/opt/tools/cluely.jar",
        "/opt/tools/cluely.jar");
    row("java class", "java", "java|-cp|/opt/cluely.jar|com.cluely.Main", "");
    row("sh script", "dash", "sh|-e|/usr/lib/cluely/run.sh", "/usr/lib/cluely/run.sh");
    row("bash -c", "bash", "bash|-ec|cluely", "");
    row("bash -o", "bash", "bash|-o|pipefail|+o|posix|/root/x.sh", "/root/x.sh");
    row("busybox sh", "busybox", "sh|/tmp/x.sh", "/tmp/x.sh");
    row("tclsh", "tclsh8.6", "tclsh|Cluely/cluely.tcl", "/opt/cluely/app/Cluely/cluely.tcl");
    row("wine", "wine64", "wine|C:\\Program Files\\Cluely\\Cluely.exe",
        "C:/Program Files/Cluely/Cluely.exe");
    row("wine start", "wine", "wine|start|/unix|/home/ann/.wine/drive_c/Cluely/Cluely.exe",
        "/home/ann/.wine/drive_c/Cluely/Cluely.exe");
    row("wine preloader", "wine64-preloader", "C:\\Apps\\Cluely\\Cluely.exe|--flag",
        "C:/Apps/Cluely/Cluely.exe");
    row("electron app folder", "electron", "electron|--no-sandbox|/opt/cluely/app", "/opt/cluely/app");
    row("electron .", "electron28", "electron|.", "/opt/cluely/app");
    row("after --", "python3", "python3|--|/opt/y/cluely.py", "/opt/y/cluely.py");
    row("not an interpreter", "cluely", "cluely|/opt/x/y.py", "");
    row("python-like name", "python3-config", "python3-config|/opt/x/cluely.py", "");
    row("dot-dot path", "python3", "python3|/opt/a/../cluely/b/../main.py", "/opt/cluely/main.py");
}

void InterpretedProgramTest::programAndNames()
{
    QFETCH(QString, executable);
    QFETCH(QString, commandLine);
    QFETCH(QString, program);
    const std::optional<InterpretedProgram> found =
        interpretedProgram(executable, commandLine.split(u'|'));
    QString shown;
    if (found) {
        shown = found->isModule ? u"module:"_s + found->path
                                : interpretedProgramPath(*found, u"/opt/cluely/app"_s);
        if (!found->runs.isEmpty())
            shown += u'|' + found->runs.join(u',');
    }
    QCOMPARE(shown, program);
}

QTEST_GUILESS_MAIN(InterpretedProgramTest)
#include "tst_interpreted_program.moc"
