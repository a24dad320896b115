#include "ApplicationGrouping.h"
#include "FakeProcTree.h"
#include "LinuxRunningApplications.h"
#include "ProcFsReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr uint user = 1000;

QString scope(const QString &unit)
{
    return u"0::/user.slice/user-1000.slice/user@1000.service/app.slice/"_s + unit + u'\n';
}

QByteArray cgroupOf(const QString &unit)
{
    return scope(unit).toUtf8();
}

// What the process of a desktop unit carries.
std::optional<LaunchIdentity> launchedAs(const QString &unit)
{
    return launchIdentity({.cgroup = cgroupOf(unit), .flatpakInfo = {}, .environment = {}});
}

// "name | identifier", so a failing comparison shows whole entries.
QStringList described(const QList<RunningApplication> &applications)
{
    QStringList lines;
    for (const RunningApplication &application : applications)
        lines << application.displayName.value_or(u"<none>"_s) + u" | "_s +
                     application.bundleIdentifier.value_or(u"<none>"_s);
    return lines;
}

} // namespace

class LinuxRunningApplicationsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void findsEachIdentifierSource();
    void trustsUnitsThenFlatpakThenSnapThenHints();
    void groupsHelpersIntoOneInstance();
    void ordersByStartTimeThenPid();
    void fallsBackToClassAndExecutableNames();
    void leavesOutOtherUsersKernelThreadsZombiesAndVanishedProcesses();
    void survivesMalformedAndHugeProcFiles();
    void readsThisMachinesOwnProcesses();

    void windowOfAToolStartedInATerminalIsItsOwnApplication();
    void windowsOfOneApplicationMakeOneEntry();
    void windowsNameIdentifiersByTheirProperties();
    void windowsWithoutProcessOrPropertiesAreHandled();

private:
    QList<RunningApplication> scan(const QString &locale = {}) const;
    void writeEntry(const QString &id, const QByteArray &body);
    DesktopEntries entries() const { return DesktopEntries({m_data->path()}, {}); }

    std::unique_ptr<FakeProcTree> m_proc;
    std::unique_ptr<QTemporaryDir> m_data;
};

void LinuxRunningApplicationsTest::init()
{
    m_proc = std::make_unique<FakeProcTree>();
    m_data = std::make_unique<QTemporaryDir>();
    QDir().mkpath(m_data->path() + u"/applications"_s);
    // The desktop itself: runs in the session, names no application.
    m_proc->add({.pid = 10, .startTime = 1, .executable = u"/usr/bin/gnome-shell"_s});
}

QList<RunningApplication> LinuxRunningApplicationsTest::scan(const QString &locale) const
{
    return LinuxRunningApplications({.procRoot = m_proc->root(),
                                     .uid = user,
                                     .dataDirs = {m_data->path()},
                                     .locale = locale,
                                     .x11Display = std::nullopt})
        .runningApplications();
}

void LinuxRunningApplicationsTest::writeEntry(const QString &id, const QByteArray &body)
{
    QFile file(m_data->path() + u"/applications/"_s + id + u".desktop"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\n" + body);
}

void LinuxRunningApplicationsTest::findsEachIdentifierSource()
{
    writeEntry(u"org.gnome.Nautilus"_s, "Name=Files\nName[de]=Dateien\n");
    writeEntry(u"gnome-terminal"_s, "Name=Terminal\n");
    writeEntry(u"org.mozilla.firefox"_s, "Name=Firefox\n");
    writeEntry(u"com.example.Flat"_s, "Name=Flat Tool\n");
    writeEntry(u"firefox_firefox"_s, "Name=Firefox Snap\n");
    writeEntry(u"com.example.Gio"_s, "Name=Gio Tool\n");
    writeEntry(u"com.example.Bamf"_s, "Name=Bamf Tool\n");
    writeEntry(u"org.kde.dolphin"_s, "Name=Dolphin\n");

    m_proc->add({.pid = 20,
                 .parentPid = 10,
                 .startTime = 20,
                 .executable = u"/usr/bin/nautilus"_s,
                 .cgroup = cgroupOf(u"app-gnome-org.gnome.Nautilus-20.scope"_s)});
    m_proc->add({.pid = 21,
                 .parentPid = 10,
                 .startTime = 21,
                 .executable = u"/usr/bin/gnome-terminal"_s,
                 .cgroup = cgroupOf(u"app-gnome-gnome\\x2dterminal-21.scope"_s)});
    m_proc->add({.pid = 22,
                 .parentPid = 10,
                 .startTime = 22,
                 .executable = u"/app/lib/firefox/firefox"_s,
                 .cgroup = cgroupOf(u"app-flatpak-org.mozilla.firefox-22.scope"_s)});
    m_proc->add(
        {.pid = 23,
         .parentPid = 10,
         .startTime = 23,
         .executable = u"/app/bin/flat"_s,
         .flatpakInfo = "[Application]\nname=com.example.Flat\n[Instance]\ninstance-id=77\n"});
    m_proc->add(
        {.pid = 24,
         .parentPid = 10,
         .startTime = 24,
         .executable = u"/snap/firefox/1/firefox"_s,
         .cgroup = cgroupOf(u"snap.firefox.firefox.1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope"_s)});
    m_proc->add({.pid = 25,
                 .parentPid = 10,
                 .startTime = 25,
                 .executable = u"/usr/bin/gio-tool"_s,
                 .environ = "HOME=/home/u\0GIO_LAUNCHED_DESKTOP_FILE=/usr/share/applications/"
                            "com.example.Gio.desktop\0GIO_LAUNCHED_DESKTOP_FILE_PID=25\0"_ba});
    m_proc->add(
        {.pid = 26,
         .parentPid = 10,
         .startTime = 26,
         .executable = u"/usr/bin/bamf-tool"_s,
         .environ =
             "BAMF_DESKTOP_FILE_HINT=/usr/share/applications/com.example.Bamf.desktop\0"_ba});
    m_proc->add({.pid = 27,
                 .parentPid = 10,
                 .startTime = 27,
                 .executable = u"/usr/bin/dolphin"_s,
                 .cgroup = cgroupOf(u"app-org.kde.dolphin@autostart.service"_s)});

    QCOMPARE(described(scan()), QStringList({
                                    u"Files | org.gnome.Nautilus"_s,
                                    u"Terminal | gnome-terminal"_s,
                                    u"Firefox | org.mozilla.firefox"_s,
                                    u"Flat Tool | com.example.Flat"_s,
                                    u"Firefox Snap | firefox_firefox"_s,
                                    u"Gio Tool | com.example.Gio"_s,
                                    u"Bamf Tool | com.example.Bamf"_s,
                                    u"Dolphin | org.kde.dolphin"_s,
                                }));
    QCOMPARE(scan(u"de_DE.UTF-8"_s).first().displayName, u"Dateien"_s);
}

void LinuxRunningApplicationsTest::trustsUnitsThenFlatpakThenSnapThenHints()
{
    const QByteArray hint =
        "GIO_LAUNCHED_DESKTOP_FILE=/usr/share/applications/from.Hint.desktop\0"_ba;
    const QByteArray flatpak = "[Application]\nname=from.Flatpak\n";
    const QString snap = u"snap.fromsnap.app.scope"_s;

    m_proc->add({.pid = 30,
                 .startTime = 30,
                 .executable = u"/usr/bin/a"_s,
                 .cgroup = cgroupOf(u"app-gnome-from.Unit-30.scope"_s),
                 .environ = hint,
                 .flatpakInfo = flatpak});
    m_proc->add({.pid = 31,
                 .startTime = 31,
                 .executable = u"/usr/bin/b"_s,
                 .cgroup = cgroupOf(snap),
                 .environ = hint,
                 .flatpakInfo = flatpak});
    m_proc->add({.pid = 32,
                 .startTime = 32,
                 .executable = u"/usr/bin/c"_s,
                 .cgroup = cgroupOf(snap),
                 .environ = hint});
    m_proc->add({.pid = 33, .startTime = 33, .executable = u"/usr/bin/d"_s, .environ = hint});
    // A Flatpak file that names nothing does not hide the next source.
    m_proc->add({.pid = 34,
                 .startTime = 34,
                 .executable = u"/usr/bin/e"_s,
                 .environ = hint,
                 .flatpakInfo = "[Application]\nruntime=x\n"});

    QCOMPARE(described(scan()),
             QStringList({u"a | from.Unit"_s, u"b | from.Flatpak"_s, u"c | fromsnap_app"_s,
                          u"d | from.Hint"_s, u"e | from.Hint"_s}));
}

void LinuxRunningApplicationsTest::groupsHelpersIntoOneInstance()
{
    writeEntry(u"com.example.Chat"_s, "Name=Chat\n");
    const QByteArray chatScope = cgroupOf(u"app-gnome-com.example.Chat-40.scope"_s);
    const QByteArray hint =
        "GIO_LAUNCHED_DESKTOP_FILE=/x/applications/com.example.Hinted.desktop\0"_ba;

    // One unit: the launcher script, the app and its helpers (other executables too).
    m_proc->add({.pid = 40,
                 .parentPid = 10,
                 .startTime = 40,
                 .executable = u"/usr/bin/chat"_s,
                 .cgroup = chatScope});
    m_proc->add({.pid = 41,
                 .parentPid = 40,
                 .startTime = 41,
                 .executable = u"/usr/lib/chat/chat-helper"_s,
                 .cgroup = chatScope});
    m_proc->add({.pid = 42,
                 .parentPid = 41,
                 .startTime = 42,
                 .executable = u"/usr/lib/chat/renderer"_s,
                 .cgroup = chatScope});
    // A second launch of the same application is a second instance.
    m_proc->add({.pid = 50,
                 .parentPid = 10,
                 .startTime = 50,
                 .executable = u"/usr/bin/chat"_s,
                 .cgroup = cgroupOf(u"app-gnome-com.example.Chat-50.scope"_s)});
    // Flatpak processes of one instance id, even when not parent and child.
    const QByteArray flatpak = "[Application]\nname=com.example.Flat\n[Instance]\ninstance-id=9\n";
    m_proc->add({.pid = 60,
                 .parentPid = 10,
                 .startTime = 60,
                 .executable = u"/app/bin/flat"_s,
                 .flatpakInfo = flatpak});
    m_proc->add({.pid = 61,
                 .parentPid = 1,
                 .startTime = 61,
                 .executable = u"/app/bin/flat-zygote"_s,
                 .flatpakInfo = flatpak});
    // Launcher hints are inherited: children with the same hint are helpers,
    // an unrelated process with the same hint is another instance.
    m_proc->add({.pid = 70,
                 .parentPid = 10,
                 .startTime = 70,
                 .executable = u"/usr/bin/hinted"_s,
                 .environ = hint});
    m_proc->add({.pid = 71,
                 .parentPid = 70,
                 .startTime = 71,
                 .executable = u"/usr/bin/hinted-worker"_s,
                 .environ = hint});
    m_proc->add({.pid = 72,
                 .parentPid = 10,
                 .startTime = 72,
                 .executable = u"/usr/bin/hinted"_s,
                 .environ = hint});

    QCOMPARE(described(scan()),
             QStringList({u"Chat | com.example.Chat"_s, u"Chat | com.example.Chat"_s,
                          u"flat | com.example.Flat"_s, u"hinted | com.example.Hinted"_s,
                          u"hinted | com.example.Hinted"_s}));
}

void LinuxRunningApplicationsTest::ordersByStartTimeThenPid()
{
    // Pids wrap around; start times do not.
    m_proc->add({.pid = 900,
                 .startTime = 5,
                 .executable = u"/usr/bin/early"_s,
                 .cgroup = cgroupOf(u"app-gnome-early-900.scope"_s)});
    m_proc->add({.pid = 80,
                 .startTime = 90,
                 .executable = u"/usr/bin/late"_s,
                 .cgroup = cgroupOf(u"app-gnome-late-80.scope"_s)});
    m_proc->add({.pid = 82,
                 .startTime = 70,
                 .executable = u"/usr/bin/tied-b"_s,
                 .cgroup = cgroupOf(u"app-gnome-tied.b-82.scope"_s)});
    m_proc->add({.pid = 81,
                 .startTime = 70,
                 .executable = u"/usr/bin/tied-a"_s,
                 .cgroup = cgroupOf(u"app-gnome-tied.a-81.scope"_s)});

    const QStringList expected{u"early | early"_s, u"tied-a | tied.a"_s, u"tied-b | tied.b"_s,
                               u"late | late"_s};
    QCOMPARE(described(scan()), expected);
    QCOMPARE(described(scan()), expected); // and again, the same
}

void LinuxRunningApplicationsTest::fallsBackToClassAndExecutableNames()
{
    writeEntry(u"com.example.Nameless"_s, "Comment=no Name key\n");
    writeEntry(u"com.example.Blank"_s, "Name=   \n");

    m_proc->add({.pid = 90,
                 .startTime = 90,
                 .executable = u"/usr/bin/nameless"_s,
                 .cgroup = cgroupOf(u"app-gnome-com.example.Nameless-90.scope"_s)});
    m_proc->add({.pid = 91,
                 .startTime = 91,
                 .executable = u"/usr/bin/blank"_s,
                 .cgroup = cgroupOf(u"app-gnome-com.example.Blank-91.scope"_s)});
    // Without an exe link (another user's process) argv[0] names it, then comm.
    m_proc->add({.pid = 92,
                 .startTime = 92,
                 .executable = QString(),
                 .cmdline = "/opt/tool/bin/tool-from-argv\0--flag\0"_ba,
                 .cgroup = cgroupOf(u"app-gnome-no.Entry-92.scope"_s)});
    m_proc->add({.pid = 93,
                 .startTime = 93,
                 .executable = u"/usr/bin/old (deleted)"_s,
                 .cgroup = cgroupOf(u"app-gnome-replaced.Binary-93.scope"_s)});

    QCOMPARE(described(scan()),
             QStringList({u"nameless | com.example.Nameless"_s, u"blank | com.example.Blank"_s,
                          u"tool-from-argv | no.Entry"_s, u"old | replaced.Binary"_s}));
}

void LinuxRunningApplicationsTest::leavesOutOtherUsersKernelThreadsZombiesAndVanishedProcesses()
{
    const auto unit = [](int n) {
        return cgroupOf(u"app-gnome-app"_s + QString::number(n) + u"-1.scope"_s);
    };
    m_proc->add({.pid = 100,
                 .startTime = 100,
                 .executable = u"/usr/bin/root-app"_s,
                 .uid = 0,
                 .cgroup = unit(1)});
    m_proc->add({.pid = 101,
                 .startTime = 101,
                 .executable = u"/usr/bin/zombie"_s,
                 .state = 'Z',
                 .cgroup = unit(2)});
    m_proc->add({.pid = 102,
                 .startTime = 102,
                 .executable = QString(),
                 .cmdline = ""_ba,
                 .cgroup = unit(3)});
    QDir().mkpath(m_proc->root() + u"/103"_s); // exited while being read: nothing left
    m_proc->add({.pid = 105,
                 .startTime = 105,
                 .executable = u"/usr/bin/kworker"_s,
                 .kernelThread = true,
                 .cgroup = unit(5)});
    m_proc->add(
        {.pid = 104, .startTime = 104, .executable = u"/usr/bin/mine"_s, .cgroup = unit(4)});
    QDir().mkpath(m_proc->root() + u"/self"_s);
    QDir().mkpath(m_proc->root() + u"/-5"_s);

    QCOMPARE(described(scan()), QStringList({u"mine | app4"_s}));
}

void LinuxRunningApplicationsTest::survivesMalformedAndHugeProcFiles()
{
    const QByteArray unit = cgroupOf(u"app-gnome-ok.App-1.scope"_s);
    m_proc->add({.pid = 110, .startTime = 110, .executable = u"/usr/bin/ok"_s, .cgroup = unit});

    // stat without fields, without ')', with a command holding ") (" and spaces.
    m_proc->add({.pid = 111, .executable = u"/usr/bin/s1"_s, .cgroup = unit});
    m_proc->write(111, u"stat"_s, "111 (s1) S");
    m_proc->add({.pid = 112, .executable = u"/usr/bin/s2"_s, .cgroup = unit});
    m_proc->write(112, u"stat"_s, "112 s2 S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 5");
    m_proc->add({.pid = 113,
                 .startTime = 113,
                 .executable = u"/usr/bin/odd"_s,
                 .cgroup = cgroupOf(u"app-gnome-odd.Name-113.scope"_s)});
    m_proc->write(113, u"stat"_s,
                  "113 (a) (b c) S 1 1 1 0 -1 4194560 1 0 0 0 0 0 0 0 20 0 1 0 113 1000 100\n");
    // status without a Uid line, or with garbage in it.
    m_proc->add({.pid = 114, .executable = u"/usr/bin/u1"_s, .cgroup = unit});
    m_proc->write(114, u"status"_s, "Name:\tu1\n");
    m_proc->add({.pid = 115, .executable = u"/usr/bin/u2"_s, .cgroup = unit});
    m_proc->write(115, u"status"_s, "Uid:\tabc\n");
    // Huge files: an environment with the hint past the limit is not trusted,
    // a huge cgroup file is cut and read as far as it goes.
    m_proc->add({.pid = 116,
                 .startTime = 116,
                 .executable = u"/usr/bin/env-huge"_s,
                 .environ = "A=" + QByteArray(2 * 1024 * 1024, 'x') + '\0' +
                            "GIO_LAUNCHED_DESKTOP_FILE=/a/applications/too.Far.desktop\0"_ba});
    m_proc->add({.pid = 117,
                 .startTime = 117,
                 .executable = u"/usr/bin/cg-huge"_s,
                 .cgroup = "0::/app-gnome-head.Unit-1.scope\n" + QByteArray(4 * 1024 * 1024, ':')});
    // Binary garbage everywhere.
    m_proc->add({.pid = 118,
                 .startTime = 118,
                 .executable = u"/usr/bin/garbage"_s,
                 .cgroup = QByteArray(300, '\xff'),
                 .environ = QByteArray(300, '\0'),
                 .flatpakInfo = QByteArray(300, '\x01')});

    QCOMPARE(described(scan()),
             QStringList({u"ok | ok.App"_s, u"odd | odd.Name"_s, u"cg-huge | head.Unit"_s}));
}

void LinuxRunningApplicationsTest::readsThisMachinesOwnProcesses()
{
    // The real /proc: this test process is found with its start time and parent.
    const QList<ProcessRecord> processes = ProcFsReader(u"/proc"_s, getuid()).userProcesses();
    const auto self = std::find_if(processes.cbegin(), processes.cend(),
                                   [](const ProcessRecord &p) { return p.pid == getpid(); });
    QVERIFY(self != processes.cend());
    QCOMPARE(self->parentPid, qint64(getppid()));
    QCOMPARE(self->executable, QCoreApplication::applicationFilePath().section(u'/', -1));
    QVERIFY(self->startTime > 0);
}

void LinuxRunningApplicationsTest::windowOfAToolStartedInATerminalIsItsOwnApplication()
{
    writeEntry(u"org.kde.konsole"_s, "Name=Konsole\n");
    // Konsole runs the shell and whatever the shell starts in its own unit.
    const auto konsoleScope = launchedAs(u"app-org.kde.konsole-1f2e.scope"_s);
    QList<ProcessRecord> processes{
        {.pid = 200,
         .parentPid = 10,
         .startTime = 200,
         .executable = u"konsole"_s,
         .launch = konsoleScope},
        {.pid = 201,
         .parentPid = 200,
         .startTime = 201,
         .executable = u"bash"_s,
         .launch = konsoleScope},
        {.pid = 202,
         .parentPid = 201,
         .startTime = 202,
         .executable = u"Cluely"_s,
         .launch = konsoleScope},
        {.pid = 203,
         .parentPid = 202,
         .startTime = 203,
         .executable = u"Cluely"_s,
         .launch = konsoleScope},
    };
    const QList<TopLevelWindow> windows{
        {.pid = 202, .instanceName = u"cluely"_s, .className = u"Cluely"_s},
        {.pid = 200, .instanceName = u"konsole"_s, .className = u"konsole"_s},
    };
    QCOMPARE(described(groupApplications(processes, windows, entries())),
             QStringList({u"Konsole | org.kde.konsole"_s, u"Cluely | <none>"_s}));

    // Started from a plain terminal without units, the tool is an application by its window.
    processes = {{.pid = 300, .parentPid = 10, .startTime = 300, .executable = u"xterm"_s},
                 {.pid = 301, .parentPid = 300, .startTime = 301, .executable = u"sh"_s},
                 {.pid = 302, .parentPid = 301, .startTime = 302, .executable = u"Cluely"_s}};
    QCOMPARE(described(groupApplications(
                 processes,
                 {{.pid = 302, .className = u"Cluely"_s}, {.pid = 300, .className = u"XTerm"_s}},
                 entries())),
             QStringList({u"XTerm | <none>"_s, u"Cluely | <none>"_s}));
}

void LinuxRunningApplicationsTest::windowsOfOneApplicationMakeOneEntry()
{
    writeEntry(u"com.example.Browser"_s, "Name=Browser\nStartupWMClass=BrowserMain\n");
    const auto unit = launchedAs(u"app-gnome-com.example.Browser-400.scope"_s);
    const QList<ProcessRecord> processes{
        {.pid = 400, .parentPid = 10, .startTime = 400, .executable = u"browser"_s, .launch = unit},
        {.pid = 401,
         .parentPid = 400,
         .startTime = 401,
         .executable = u"browser"_s,
         .launch = unit},
        // A helper with its own executable and a window of the application's class.
        {.pid = 402,
         .parentPid = 400,
         .startTime = 402,
         .executable = u"browser-gpu"_s,
         .launch = unit},
        // No unit: a tool and its windowless child of the same executable.
        {.pid = 500, .parentPid = 10, .startTime = 500, .executable = u"Cluely"_s},
        {.pid = 501, .parentPid = 500, .startTime = 501, .executable = u"Cluely"_s},
        {.pid = 502, .parentPid = 501, .startTime = 502, .executable = u"Cluely"_s},
    };
    const QList<TopLevelWindow> windows{
        {.pid = 400, .className = u"BrowserMain"_s}, {.pid = 400, .className = u"BrowserMain"_s},
        {.pid = 402, .className = u"BrowserMain"_s}, {.pid = 500, .className = u"Cluely"_s},
        {.pid = 500, .className = u"Cluely"_s},      {.pid = 502, .className = u"Cluely"_s},
    };
    QCOMPARE(described(groupApplications(processes, windows, entries())),
             QStringList({u"Browser | com.example.Browser"_s, u"Cluely | <none>"_s}));
}

void LinuxRunningApplicationsTest::windowsNameIdentifiersByTheirProperties()
{
    writeEntry(u"org.gnome.TextEditor"_s, "Name=Text Editor\n");
    writeEntry(u"org.kde.kate"_s, "Name=Kate\n");
    writeEntry(u"com.example.Declared"_s, "Name=Declared\nStartupWMClass=DeclaredClass\n");
    writeEntry(u"lowercase"_s, "Name=Lower\n");
    const QList<ProcessRecord> processes{
        {.pid = 600, .startTime = 600, .executable = u"gnome-text-editor"_s},
        {.pid = 601, .startTime = 601, .executable = u"kate"_s},
        {.pid = 602, .startTime = 602, .executable = u"declared"_s},
        {.pid = 603, .startTime = 603, .executable = u"lower"_s},
        {.pid = 604,
         .startTime = 604,
         .executable = u"unit-app"_s,
         .launch = launchedAs(u"app-gnome-from.Unit-604.scope"_s)},
    };
    const QList<TopLevelWindow> windows{
        {.pid = 600,
         .className = u"Gnome-text-editor"_s,
         .applicationId = u"org.gnome.TextEditor"_s},
        {.pid = 601,
         .className = u"kate"_s,
         .desktopFile = u"/usr/share/applications/org.kde.kate.desktop"_s},
        {.pid = 602, .className = u"DeclaredClass"_s},
        {.pid = 603, .className = u"Lowercase"_s},
        // The unit outranks the window's own identifier; the leader keeps its unit,
        // named by its window class for want of an entry.
        {.pid = 604, .className = u"Other"_s, .applicationId = u"from.Window"_s},
    };
    QCOMPARE(described(groupApplications(processes, windows, entries())),
             QStringList({u"Text Editor | org.gnome.TextEditor"_s, u"Kate | org.kde.kate"_s,
                          u"Declared | com.example.Declared"_s, u"Lower | lowercase"_s,
                          u"Other | from.Unit"_s}));
}

void LinuxRunningApplicationsTest::windowsWithoutProcessOrPropertiesAreHandled()
{
    writeEntry(u"org.example.Remote"_s, "Name=Remote\n");
    const QList<ProcessRecord> processes{
        {.pid = 700, .startTime = 700, .executable = u"silent"_s},
    };
    const QList<TopLevelWindow> windows{
        {.pid = 700}, // no properties at all: nothing to name it by
        {},
        {.className = u"Cluely"_s},               // no _NET_WM_PID
        {.pid = 99999, .className = u"Cluely"_s}, // another user's or a remote client
        {.pid = 99998, .applicationId = u"org.example.Remote"_s},
        {.applicationId = u"../../etc/passwd"_s}, // not an identifier; no class either
        {.instanceName = u"only-instance"_s},
    };
    QCOMPARE(described(groupApplications(processes, windows, entries())),
             QStringList({u"Cluely | <none>"_s, u"Remote | org.example.Remote"_s}));
}

QTEST_GUILESS_MAIN(LinuxRunningApplicationsTest)
#include "tst_linuxrunningapplications.moc"
