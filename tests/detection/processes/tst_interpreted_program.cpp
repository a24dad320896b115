// The program an interpreter runs, and the names it shows, from its arguments.

#include "processes/InterpretedProgram.h"

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
    QTest::addColumn<QString>("names");       // joined by ','; empty: no program

    const auto row = [](const char *name, const char *executable, const char *commandLine,
                        const char *names) {
        QTest::newRow(name) << QString::fromUtf8(executable) << QString::fromUtf8(commandLine)
                            << QString::fromUtf8(names);
    };
    // Folders above stop at /, /usr, /opt, /home, a home folder and a drive.
    row("python script", "python3.11", "python3|/opt/cluely/main.py|--x", "main.py,cluely");
    row("python flags and values", "python3", "python3|-u|-W|ignore|-Bu|/srv/a/b/c/d/x.py",
        "x.py,d,c,b");
    row("python -m", "python3", "python3|-m|cluely.main", "cluely.main");
    row("python -m attached", "python3.11", "python3|-Bmcluely", "cluely");
    row("python -c", "python3", "python3|-c|import cluely", "");
    row("python combined -c", "python3", "python3|-Ic|code", "");
    row("python from stdin", "python3", "python3|-", "");
    row("python with nothing", "python3", "python3", "");
    row("pip-style script in a home", "python3", "python3|/home/ann/.local/bin/cluely-copilot",
        "cluely-copilot,bin,.local");
    row("relative script, working folder known", "python3", "python3|bin/run.py",
        "run.py,bin,app,cluely");
    row("node", "node", "node|--inspect=9229|-r|ts-node/register|cluely.js",
        "cluely.js,app,cluely");
    row("node -e", "node", "node|-e|1", "");
    row("deno run", "deno", "deno|run|--allow-net|-c|deno.json|/opt/x/cluely.ts", "cluely.ts,x");
    row("deno eval", "deno", "deno|eval|1", "");
    row("bun run", "bun", "bun|run|/usr/local/lib/cluely/index.js", "index.js,cluely,lib,local");
    row("perl", "perl5.36.0", "perl|-w|-Ilib|/tmp/cluely-copilot", "cluely-copilot,tmp");
    row("perl -e combined", "perl", "perl|-wle|print", "");
    row("ruby", "ruby3.1", "ruby|-I|lib|-rjson|/opt/c/cluely.rb", "cluely.rb,c");
    row("php -f", "php8.2", "php|-d|x=1|-f|/var/www/cluely.php", "cluely.php,www,var");
    row("php -r", "php", "php|-r|echo 1;", "");
    row("java -jar", "java", "java|-Xmx1g|-cp|x.jar|-jar|/opt/tools/cluely.jar",
        "cluely.jar,tools");
    row("java class", "java", "java|-cp|/opt/cluely.jar|com.cluely.Main", "");
    row("sh script", "dash", "sh|-e|/usr/lib/cluely/run.sh", "run.sh,cluely,lib");
    row("bash -c", "bash", "bash|-ec|cluely", "");
    row("bash -o", "bash", "bash|-o|pipefail|+o|posix|/root/x.sh", "x.sh"); // the home folder
    row("busybox sh", "busybox", "sh|/tmp/x.sh", "x.sh,tmp");
    row("wine", "wine64", "wine|C:\\Program Files\\Cluely\\Cluely.exe",
        "Cluely.exe,Cluely,Program Files");
    row("wine start", "wine", "wine|start|/unix|/home/ann/.wine/drive_c/Cluely/Cluely.exe",
        "Cluely.exe,Cluely,drive_c,.wine");
    row("wine absolute", "wine", "wine|/home/bo/games/x.exe", "x.exe,games");
    row("wine preloader", "wine64-preloader", "C:\\Apps\\Cluely\\Cluely.exe|--flag",
        "Cluely.exe,Cluely,Apps");
    row("electron app folder", "electron", "electron|--no-sandbox|/opt/cluely/app", "app,cluely");
    row("electron .", "electron28", "electron|.", "app,cluely");
    row("after --", "python3", "python3|--|/opt/y/cluely.py", "cluely.py,y");
    row("not an interpreter", "cluely", "cluely|/opt/x/y.py", "");
    row("python-like name", "python3-config", "python3-config|/opt/x/cluely.py", "");
    row("dot-dot path", "python3", "python3|/opt/a/../cluely/b/../main.py", "main.py,cluely");
}

void InterpretedProgramTest::programAndNames()
{
    QFETCH(QString, executable);
    QFETCH(QString, commandLine);
    QFETCH(QString, names);
    const std::optional<InterpretedProgram> program =
        interpretedProgram(executable, commandLine.split(u'|'));
    const QStringList shown =
        program ? interpretedProgramNames(*program, u"/opt/cluely/app"_s, u"/root"_s)
                : QStringList();
    QCOMPARE(shown.join(u','), names);
}

QTEST_GUILESS_MAIN(InterpretedProgramTest)
#include "tst_interpreted_program.moc"
