// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// One scan pass over scripted applications and processes.

#include "WriteFile.h"
#include "detection/ScanPass.h"
#include "detection/context/MachineContext.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Scripted : RunningApplicationsSource, ProcessSource
{
    QList<RunningApplication> applications;
    QList<ObservedProcess> processes;
    QStringList limits{};
    QList<RunningApplication> runningApplications() const override { return applications; }
    QList<ObservedProcess> runningProcesses() const override { return processes; }
    QStringList applicationLimits() const override { return limits.mid(1); }
    QStringList processLimits() const override { return limits.mid(0, 1); }
};

// "line [kind/source] pids: 1,2 | source=name@pid (traits), ..." for one finding.
QString described(const Finding &finding)
{
    QStringList pids;
    for (qint64 pid : finding.pids)
        pids << QString::number(pid);
    QStringList evidence;
    for (const Evidence &e : finding.evidence)
        evidence << nameSourceLabel(e.source) + u'=' + e.name +
                        (e.pid ? u"@"_s + QString::number(*e.pid) : QString()) +
                        (e.traits.isEmpty() ? QString() : u" ("_s + e.traits.join(u", ") + u')');
    return finding.line + u" ["_s + findingKindLabel(finding.kind) + u'/' +
           findingSourceLabel(finding.source) + u"] pids: "_s + pids.join(u',') + u" | "_s +
           evidence.join(u", "_s);
}

} // namespace

using Applications = QList<RunningApplication>;
using Processes = QList<ObservedProcess>;

class ScanPassTest : public QObject
{
    Q_OBJECT

private slots:
    void everyNameAndWindow_data();
    void everyNameAndWindow();

    void pass()
    {
        // Applications are "name=bundle" separated by '|', with "?" for an
        // unknown field; processes are separated by ','; what the sources could
        // not see by ';' (the process table's first); in the expected lines,
        // joined by newlines, "! " stands for the alarm prefix.
        const char *const cases[][4] = {
            // Applications: the name test, then the bundle, then the generic names.
            {"Cluely|Notes=com.cluely.notes|CheatTool", "cluely-agent,keylogger",
             "! App: Cluely\n! Bundle: com.cluely.notes (App: Notes)\nApp: CheatTool\n"
             "! Process: cluely-agent\nProcess: keylogger",
             ""},
            {"?", "", "", ""},
            {"Cluely=com.cluely.app", "", "! App: Cluely", ""},
            // Read as people read it: a look-alike letter, a generic name.
            {"Ui=org.\u0441luely", "Key\u13DEogger",
             "! Bundle: org.\u0441luely (App: Ui)\n"
             "Process: Key\u13DEogger",
             ""},
            {"KeyLogger=com.clue1y.kl", "", "! Bundle: com.clue1y.kl (App: KeyLogger)", ""},
            {"?=CLUELY", "", "", ""}, // no display name: the bundle is not examined
            {"=com.cluely", "", "! Bundle: com.cluely (App: )", ""},
            {"KeyLogger Pro|Tools=com.example.cheattool", "zoomhelper",
             "App: KeyLogger Pro\nProcess: zoomhelper", ""},
            // What the sources could not see comes first.
            {"Cluely", "",
             "\u26A0\uFE0F SCAN LIMITED - pid namespace\n\u26A0\uFE0F SCAN LIMITED - "
             "windows: none\n! App: Cluely",
             "pid namespace;windows: none"},
            // Source order and repeats kept, processes after.
            {"CheatTool|Files=org.gnome.Nautilus|Cluely|Cluely|x=cluely.ai",
             "bash,Y2x1ZWx5,cluely-keylogger",
             "App: CheatTool\n! App: Cluely\n! App: Cluely\n! Bundle: cluely.ai (App: x)\n"
             "! Process: Y2x1ZWx5\n! Process: cluely-keylogger",
             ""},
            // A process whose name stands, case-sensitively, in an earlier line is dropped.
            {"Cluely", "Cluely,cluely", "! App: Cluely\n! Process: cluely", ""},
            {"", "cluely,cluely-helper", "! Process: cluely\n! Process: cluely-helper", ""},
            {"zoomhelper=com.cluely.zoom|KeyLogger", "zoomhelper,keylogger",
             "! Bundle: com.cluely.zoom (App: zoomhelper)\nApp: KeyLogger\nProcess: keylogger", ""},
            {"Cluely Caf\u00E9|Cluely Cafe\u0301s", "Cafe\u0301,Cluely Caf\u00E9s",
             "! App: Cluely Caf\u00E9\n! App: Cluely Cafe\u0301s", ""},
        };
        const auto field = [](const QString &text) {
            return text == u'?' ? std::nullopt : std::optional(text);
        };
        for (const auto &[applications, processes, lines, limits] : cases) {
            Scripted sources;
            for (const QString &entry :
                 QString::fromUtf8(applications).split(u'|', Qt::SkipEmptyParts))
                sources.applications.append(
                    {field(entry.section(u'=', 0, 0)),
                     entry.contains(u'=') ? field(entry.section(u'=', 1)) : std::nullopt});
            // Processes of one name each, as the ps reader gives them.
            for (const QString &name : QString::fromUtf8(processes).split(u',', Qt::SkipEmptyParts))
                sources.processes.append({std::nullopt, {{name, NameSource::ProcessTable}}});
            sources.limits = QString::fromUtf8(limits).split(u';', Qt::SkipEmptyParts);
            QCOMPARE(scanForSuspiciousProcesses(sources, sources).join(u'\n').toUtf8(),
                     QByteArray(lines).replace("! ", "\xF0\x9F\x9A\xA8 CLUELY DETECTED - "));
        }
    }

    void context();
};

// The context of a pass over a fake machine: files below its root
// ("path=content", separated by '|'), the CPU's hypervisor vendor, processes
// ("source:name" each, separated by ',', one process per ';'), the sources'
// limits (the process table's, then the windows'), the session; the
// environment and coverage expected, lines joined by '\n'.
void ScanPassTest::context()
{
    const char *const cases[][7] = {
        // This machine: a Docker container on a bhyve virtual machine, no display.
        {"proc/cpuinfo=processor\t: 0\nflags\t\t: fpu sse2 hypervisor lahf_lm\n|.dockerenv=|"
         "proc/self/cgroup=0::/\n",
         "bhyve bhyve", "exe:bash", "", "",
         "virtual machine: bhyve (the CPU's hypervisor flag)\ncontainer: Docker (/.dockerenv)\n"
         "remote control: none running\nmonitors: not known (no display to ask)\n"
         "session: none (no DISPLAY, WAYLAND_DISPLAY or XDG_SESSION_TYPE)",
         "windows: no graphical session was found, so only processes were read"},
        // DMI names the hypervisor before the CPU does; every container marker counts.
        {"proc/cpuinfo=flags : hypervisor\n|sys/class/dmi/id/sys_vendor=QEMU\n|"
         "sys/class/dmi/id/product_name=Standard PC (Q35 + ICH9, 2009)\n|"
         "run/systemd/container=podman\n|run/.containerenv=|"
         "proc/self/cgroup=0::/machine.slice/libpod-4f2a.scope\n",
         "KVMKVMKVM", "exe:teamviewerd;argv0:TeamViewer,comm:TeamViewer;folder:anydesk;comm:x11vnc",
         "other users' processes (hidepid)", "windows: a Wayland session is running",
         "virtual machine: QEMU (DMI system vendor QEMU; the CPU's hypervisor flag)\n"
         "container: Podman (/run/systemd/container says podman; /run/.containerenv; this "
         "process's cgroup names podman)\n"
         "remote control: x11vnc is running (x11vnc)\n"
         "remote control: TeamViewer is running (TeamViewer, teamviewerd)\n"
         "monitors: not known (the compositor named none)\n"
         "session: Wayland (compositor tst_scan_pass, desktop GNOME)",
         "processes: could not see other users' processes (hidepid)\n"
         "windows: a Wayland session is running"},
        // WSL: Hyper-V's CPU, a kernel of Microsoft's; a comm cut to 15 characters.
        {"proc/cpuinfo=processor : 0\nflags : fpu hypervisor\nprocessor : 1\n|"
         "proc/sys/kernel/osrelease=5.15.90.1-microsoft-standard-WSL2\n",
         "Microsoft Hv", "comm:chrome-remote-d;ps:nxserver.bin", "", "windows: none",
         "virtual machine: Hyper-V (the CPU's hypervisor flag)\n"
         "container: WSL (kernel release 5.15.90.1-microsoft-standard-WSL2)\n"
         "remote control: NoMachine is running (nxserver.bin)\n"
         "remote control: Chrome Remote Desktop is running (chrome-remote-d)\n"
         "monitors: not known (no display to ask)\n"
         "session: none (no DISPLAY, WAYLAND_DISPLAY or XDG_SESSION_TYPE)",
         "windows: none"},
        // The vendor alone is no evidence; names the hypervisor flag's; LXC's init.
        {"proc/cpuinfo=flags : fpu hypervisor_x\n|sys/hypervisor/type=xen\n|"
         "sys/class/dmi/id/board_vendor=innotek GmbH\n|proc/1/environ=HOME=/\\0container=lxc\\0|"
         "proc/vz/x=",
         "XenVMMXenVMM", "", "", "",
         "virtual machine: VirtualBox (DMI board vendor innotek GmbH; /sys/hypervisor/type "
         "says xen)\ncontainer: LXC (init's container=lxc; /proc/vz)\n"
         "remote control: none running\nmonitors: not known (no display to ask)\n"
         "session: none (no DISPLAY, WAYLAND_DISPLAY or XDG_SESSION_TYPE)",
         "processes: none could be read\n"
         "windows: no graphical session was found, so only processes were read"},
        {"proc/cpuinfo=flags : fpu\n|proc/bc/x=|proc/vz/x=", "KVMKVMKVM", "exe:sh", "", "",
         "virtual machine: none found\ncontainer: none found\nremote control: none running\n"
         "monitors: not known (no display to ask)\n"
         "session: none (no DISPLAY, WAYLAND_DISPLAY or XDG_SESSION_TYPE)",
         "windows: no graphical session was found, so only processes were read"},
    };
    const auto lines = [](const char *text) {
        return QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
    };
    const std::map<QString, NameSource> sourceNamed{{u"exe"_s, NameSource::Executable},
                                                    {u"argv0"_s, NameSource::Argv0},
                                                    {u"comm"_s, NameSource::Comm},
                                                    {u"ps"_s, NameSource::ProcessTable},
                                                    {u"folder"_s, NameSource::Folder}};
    for (const auto &[files, vendor, processes, processLimits, windowLimits, environment,
                      coverage] : cases) {
        QTemporaryDir root;
        for (const QString &file : QString::fromUtf8(files).split(u'|', Qt::SkipEmptyParts))
            writeFile(root.filePath(file.section(u'=', 0, 0)),
                      file.section(u'=', 1).replace(u"\\0"_s, QChar(0)).toUtf8());
        ContextSources sources{.root = root.path(), .cpuVendor = QString::fromUtf8(vendor)};
        // A Wayland session whose compositor is this test, listening on a socket of its own.
        const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        if (QByteArray(windowLimits).contains("Wayland")) {
            sources = {.root = root.path(),
                       .waylandDisplay = root.filePath(u"wayland-1"_s),
                       .currentDesktop = u"GNOME"_s,
                       .cpuVendor = QString::fromUtf8(vendor)};
            qstrncpy(address.sun_path, qPrintable(sources.waylandDisplay), sizeof address.sun_path);
            QVERIFY(::bind(listening, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
            QVERIFY(::listen(listening, 1) == 0);
        }
        QList<ObservedProcess> observed;
        for (const QString &process :
             QString::fromUtf8(processes).split(u';', Qt::SkipEmptyParts)) {
            observed.append(ObservedProcess{});
            for (const QString &name : process.split(u','))
                observed.last().names.append(
                    {name.section(u':', 1), sourceNamed.at(name.section(u':', 0, 0))});
        }
        const ScanContext context =
            machineContext(sources, {}, observed, lines(processLimits), lines(windowLimits));
        ::close(listening);
        QCOMPARE(context.environment, lines(environment));
        QCOMPARE(context.coverage, lines(coverage));
    }
}

void ScanPassTest::everyNameAndWindow_data()
{
    QTest::addColumn<Applications>("applications");
    QTest::addColumn<Processes>("processes");
    QTest::addColumn<QStringList>("findings");

    using enum NameSource;
    const QString traits = u"always on top, hidden from the task bar, click-through"_s;
    const QStringList overlay = traits.split(u", "_s);

    // A process gives one line: the first name matching the tool's rules, else
    // the first generic one; the evidence is every name that matched.
    QTest::newRow("Windows program under Wine")
        << Applications{}
        << Processes{{7,
                      {{u"wine64-preloader"_s, Executable},
                       {u"Cluely.exe"_s, Argv0},
                       {u"Cluely.exe"_s, Comm},
                       {u"Cluely.exe"_s, Script},
                       {u"Cluely"_s, ScriptFolder}}}}
        << QStringList{u"🚨 CLUELY DETECTED - Process: Cluely.exe [cluely/process] pids: 7 | "
                       u"argv0=Cluely.exe@7, comm=Cluely.exe@7, script=Cluely.exe@7, "
                       u"script-folder=Cluely@7"_s};
    // A folder or file only mentions the tool: a possible finding, after every
    // program's line and outranked by any name of the program itself.
    QTest::newRow("the tool's rules, the generic names, then mentions")
        << Applications{}
        << Processes{{8, {{u"notes"_s, Executable}, {u"zoomhelper"_s, Comm}}},
                     {9, {{u"python3.11"_s, Executable}, {u"cluely-research"_s, ScriptFolder}}},
                     {10, {{u"keylogger-x"_s, Executable}, {u"c1uely"_s, PackageName}}},
                     {11, {{u"keylogger"_s, Executable}, {u"Cluely"_s, ExecutableFolder}}},
                     {12, {{u"mousepad"_s, Executable}, {u"cluely-notes.txt"_s, File}}},
                     {13, {{u"node"_s, Executable}, {u"cheattool"_s, Folder}}}}
        << QStringList{u"Process: zoomhelper [generic/process] pids: 8 | comm=zoomhelper@8"_s,
                       u"🚨 CLUELY DETECTED - Process: c1uely [cluely/process] pids: 10 | "
                       u"package-name=c1uely@10"_s,
                       u"Process: keylogger [generic/process] pids: 11 | exe=keylogger@11"_s,
                       u"⚠️ POSSIBLE CLUELY - Folder: cluely-research (Process: python3.11) "
                       u"[possible/process] pids: 9 | script-folder=cluely-research@9"_s,
                       u"⚠️ POSSIBLE CLUELY - File: cluely-notes.txt (Process: mousepad) "
                       u"[possible/process] pids: 12 | file=cluely-notes.txt@12"_s};
    QTest::newRow("a mention never takes in a program")
        << Applications{{u"Terminal"_s, {}, {16}, {{u"0x10"_s, u"~/Cluely"_s}}}}
        << Processes{{14, {{u"node"_s, Executable}, {u"Cluely"_s, Folder}}},
                     {15, {{u"ld-linux-x86-64.so.2"_s, Executable}, {u"Cluely"_s, Script}}}}
        << QStringList{u"⚠️ POSSIBLE CLUELY - Window: ~/Cluely (App: Terminal) "
                       u"[possible/window] pids: 16,14 | window-title=~/Cluely"_s,
                       u"🚨 CLUELY DETECTED - Process: Cluely [cluely/process] pids: 15 | "
                       u"script=Cluely@15"_s};
    // Any matched name standing in an earlier line makes a process part of
    // that line: its id joins the line's.
    QTest::newRow("duplicates across names and processes")
        << Applications{{u"Cluely"_s, {}, {20}}}
        << Processes{{21, {{u"cluely-bin"_s, Executable}, {u"Cluely"_s, Comm}}},
                     {22, {{u"cluely-helper"_s, Executable}}},
                     {23, {{u"cluely-helper"_s, Executable}}},
                     {24, {{u"cluely"_s, Argv0}}}}
        << QStringList{u"🚨 CLUELY DETECTED - App: Cluely [cluely/application] pids: 20,21 | "
                       u"display-name=Cluely"_s,
                       u"🚨 CLUELY DETECTED - Process: cluely-helper [cluely/process] pids: "
                       u"22,23,24 | exe=cluely-helper@22"_s};

    // An application shows the names of all its windows; a title gives its own form.
    ApplicationWindow titled{u"0x1"_s, u"Cluely"_s, u"Notes"_s, u"notes"_s};
    ApplicationWindow plain{u"0x2"_s, u"Shopping list"_s, u"Notes"_s, u"notes"_s};
    ApplicationWindow roled{u"0x9"_s, u"cluely notes"_s, u"Notes"_s, u"notes"_s};
    roled.role = u"cluely-overlay"_s;
    QTest::newRow("a title mentions, a role names")
        << Applications{{u"Notes"_s, u"org.example.Notes"_s, {30}, {plain, titled}},
                        {u"Editor"_s, {}, {34}, {roled}}}
        << Processes{}
        << QStringList{u"⚠️ POSSIBLE CLUELY - Window: Cluely (App: Notes) [possible/window] "
                       u"pids: 30 | window-title=Cluely"_s,
                       u"🚨 CLUELY DETECTED - App: cluely-overlay [cluely/window] pids: 34 | "
                       u"window-role=cluely-overlay, window-title=cluely notes"_s};
    ApplicationWindow browser{u"0x3"_s, u"News"_s, u"Chromium"_s, u"chromium"_s};
    ApplicationWindow webApp{u"0x4"_s, u"Assistant"_s, u"Chromium"_s, u"crx_abc"_s, u"Cluely"_s};
    ApplicationWindow instance{u"0x5"_s, {}, u"Notes"_s, u"cluely"_s};
    QTest::newRow("a second window's entry, an instance name")
        << Applications{{u"Chromium"_s, u"chromium"_s, {31}, {browser, webApp}},
                        {u"Notes"_s, {}, {32}, {instance}}}
        << Processes{}
        << QStringList{u"🚨 CLUELY DETECTED - App: Cluely [cluely/window] pids: 31 | "
                       u"window-entry=Cluely"_s,
                       u"🚨 CLUELY DETECTED - App: cluely [cluely/window] pids: 32 | "
                       u"window-instance=cluely"_s};
    // Titles are never reported for the generic names (a tab may read anything).
    ApplicationWindow tab{u"0x6"_s, u"KeyLogger - Wikipedia"_s, u"Firefox"_s, u"Navigator"_s};
    QTest::newRow("a generic title")
        << Applications{{u"Firefox"_s, u"firefox"_s, {33}, {tab}}} << Processes{} << QStringList{};

    // An overlay needs no name; with a name line it is only evidence.
    ApplicationWindow floating{u"0x7"_s, {}, u"Notes"_s, u"notes"_s, {}, overlay};
    ApplicationWindow ghost{u"0x8"_s, {}, u"Ghost"_s, {}, {}, overlay};
    QTest::newRow("overlays")
        << Applications{{u"Notes"_s, {}, {40}, {floating}},
                        {u"Cluely"_s, {}, {41}, {floating}},
                        {std::nullopt, {}, {}, {ghost}},
                        {std::nullopt,
                         {},
                         {42},
                         {{u"0x9"_s, {}, {}, {}, {}, overlay}},
                         u"helper"_s},
                        {std::nullopt, {}, {}, {{u"0xa"_s, {}, {}, {}, {}, overlay}}}}
        << Processes{}
        << QStringList{u"⚠️ OVERLAY WINDOW - App: Notes (%1) [overlay/window] pids: 40 | "
                       u"overlay-window=0x7 (%1)"_s.arg(traits),
                       u"🚨 CLUELY DETECTED - App: Cluely [cluely/application] pids: 41 | "
                       u"display-name=Cluely, overlay-window=0x7 (%1)"_s.arg(traits),
                       u"⚠️ OVERLAY WINDOW - App: Ghost (%1) [overlay/window] pids:  | "
                       u"overlay-window=0x8 (%1)"_s.arg(traits),
                       u"⚠️ OVERLAY WINDOW - App: helper (%1) [overlay/window] pids: 42 | "
                       u"overlay-window=0x9 (%1)"_s.arg(traits)};
}

void ScanPassTest::everyNameAndWindow()
{
    QFETCH(Applications, applications);
    QFETCH(Processes, processes);
    QFETCH(QStringList, findings);
    Scripted sources;
    sources.applications = applications;
    sources.processes = processes;
    QStringList found;
    for (const Finding &finding : scanFindings(sources, sources))
        found << described(finding);
    QCOMPARE(found, findings);
}

QTEST_GUILESS_MAIN(ScanPassTest)
#include "tst_scan_pass.moc"
