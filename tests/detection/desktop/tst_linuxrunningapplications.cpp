// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "../WriteFile.h"
#include "detection/ProcSnapshotSources.h"
#include "detection/desktop/ApplicationGrouping.h"
#include "detection/desktop/CgroupApplication.h"
#include "detection/desktop/KeyFile.h"
#include "detection/desktop/LinuxRunningApplications.h"
#include "detection/processes/ProcProcessSource.h"
#include "detection/windows/KWinWindows.h"
#include "detection/windows/WaylandWindows.h"

#include <ext-foreign-toplevel-list-v1-server-protocol.h>
#include <wayland-server.h>

#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>

#include <list>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// One process as the kernel lays it out under /proc/PID.
struct FakeProcess
{
    qint64 pid;
    qint64 parentPid;
    QString executable; // the exe link's target; relative: only argv[0], as of another user's
    QByteArray unit{};  // the systemd or Snap unit in its cgroup; empty: the login session's
    QList<std::pair<QString, QByteArray>> files{}; // written over the usual ones
    QByteArray environ{};
    QByteArray flatpakInfo{};
    quint64 startTime = 0; // 0: the pid
};
using FakeProcesses = QList<FakeProcess>;

// "name | identifier" of each application, so a failing comparison shows whole entries.
QStringList described(const QList<RunningApplication> &applications)
{
    QStringList lines;
    for (const RunningApplication &application : applications)
        lines << application.displayName.value_or(u"-"_s) + u" | "_s +
                     application.bundleIdentifier.value_or(u"-"_s);
    return lines;
}

// A stat file: "pid (comm) state ppid pgrp session tty tpgid flags", 11 more, starttime.
QByteArray stat(const QByteArray &comm, char state, const char *flags, qint64 parent = 1,
                quint64 start = 9)
{
    return "1 (" + comm + ") " + state + ' ' + QByteArray::number(parent) + " 1 1 0 -1 " + flags +
           " 1 0 0 0 0 0 0 0 20 0 1 0 " + QByteArray::number(start) + " 10\n";
}

// A Wayland compositor of this process's own, on a thread of its own, at
// `path`: one 1024x768 output and, when it offers a window list
// (ext-foreign-toplevel-list-v1), one window "cluely" titled "Cluely", or
// with `ended`, a list it ends at once.
class FakeCompositor
{
public:
    FakeCompositor(const QString &path, bool offersList, bool ended) : m_ended(ended)
    {
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        const QByteArray name = QFile::encodeName(path).left(sizeof address.sun_path - 1);
        std::copy(name.begin(), name.end(), address.sun_path);
        if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(socket, 8) != 0 || wl_display_add_socket_fd(m_display, socket) != 0)
            qFatal("no compositor socket at %s", qPrintable(path));
        if (offersList)
            wl_global_create(m_display, &ext_foreign_toplevel_list_v1_interface, 1, this, bindList);
        wl_global_create(m_display, &wl_output_interface, 4, nullptr, bindOutput);
        m_thread = std::thread(wl_display_run, m_display);
    }
    ~FakeCompositor()
    {
        wl_display_terminate(m_display);
        m_thread.join();
        wl_display_destroy_clients(m_display);
        wl_display_destroy(m_display);
    }

private:
    static void destroy(wl_client *, wl_resource *resource) { wl_resource_destroy(resource); }
    static void bindList(wl_client *client, void *self, uint32_t version, uint32_t id)
    {
        static constexpr struct ext_foreign_toplevel_list_v1_interface list
        {
            .stop = [](wl_client *, wl_resource *) {}, .destroy = destroy
        };
        static constexpr struct ext_foreign_toplevel_handle_v1_interface handle
        {
            .destroy = destroy
        };
        wl_resource *resource =
            wl_resource_create(client, &ext_foreign_toplevel_list_v1_interface, int(version), id);
        wl_resource_set_implementation(resource, &list, nullptr, nullptr);
        if (static_cast<FakeCompositor *>(self)->m_ended)
            return ext_foreign_toplevel_list_v1_send_finished(resource);
        wl_resource *window =
            wl_resource_create(client, &ext_foreign_toplevel_handle_v1_interface, int(version), 0);
        wl_resource_set_implementation(window, &handle, nullptr, nullptr);
        ext_foreign_toplevel_list_v1_send_toplevel(resource, window);
        ext_foreign_toplevel_handle_v1_send_identifier(window, "w1");
        ext_foreign_toplevel_handle_v1_send_app_id(window, "cluely");
        ext_foreign_toplevel_handle_v1_send_title(window, " Cluely \n");
        ext_foreign_toplevel_handle_v1_send_done(window);
    }
    static void bindOutput(wl_client *client, void *, uint32_t version, uint32_t id)
    {
        static constexpr struct wl_output_interface output
        {
            .release = destroy
        };
        wl_resource *resource = wl_resource_create(client, &wl_output_interface, int(version), id);
        wl_resource_set_implementation(resource, &output, nullptr, nullptr);
        wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, 1024, 768, 60000);
        wl_output_send_done(resource);
    }

    bool m_ended;
    wl_display *m_display = wl_display_create();
    std::thread m_thread;
};

} // namespace

using Processes = QList<ProcessRecord>;
using Windows = QList<TopLevelWindow>;

class LinuxRunningApplicationsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { m_proc = std::make_unique<QTemporaryDir>(); } // a fresh /proc for each case

    void findsTheApplicationUnit();
    void findsDesktopEntries();
    void translatesNames();
    void readsProcesses_data();
    void readsProcesses();
    void groupsWindowsWithTheirProcesses_data();
    void groupsWindowsWithTheirProcesses();
    void weighsOverlayTraits();
    void readsKWinsReport();
    void saysWhatWindowsItCannotRead();
    void readsWaylandCompositors_data();
    void readsWaylandCompositors();

private:
    void add(const FakeProcesses &processes);
    LinuxRunningApplications::Environment environment(const QString &locale = {}) const
    {
        return {m_proc->path(), 1000, m_dataDirs, locale, std::nullopt};
    }
    QStringList scan(const QString &locale = {}) const
    {
        return described(LinuxRunningApplications(environment(locale)).runningApplications());
    }
    DesktopEntries entries(const QString &locale = {}) const { return {m_dataDirs, locale}; }

    QTemporaryDir m_data;
    const QStringList m_dataDirs{m_data.filePath(u"home"_s), m_data.filePath(u"usr"_s)};
    std::unique_ptr<QTemporaryDir> m_proc;
};

void LinuxRunningApplicationsTest::add(const FakeProcesses &processes)
{
    for (const FakeProcess &p : processes) {
        const QString dir = m_proc->filePath(QString::number(p.pid)) + u'/';
        const QByteArray comm = QFile::encodeName(p.executable.section(u'/', -1)).left(15);
        const quint64 start = p.startTime ? p.startTime : quint64(p.pid);
        writeFile(dir + u"stat"_s, stat(comm, 'S', "4194560", p.parentPid, start));
        writeFile(dir + u"status"_s, "Uid:\t1000\t1000\t1000\t1000\n");
        writeFile(dir + u"comm"_s, comm + '\n');
        writeFile(dir + u"cmdline"_s, QFile::encodeName(p.executable) + '\0');
        writeFile(dir + u"cgroup"_s, "0::/" + (p.unit.isEmpty() ? "session-2.scope"_ba : p.unit));
        writeFile(dir + u"environ"_s, p.environ);
        writeFile(dir + u"root/.flatpak-info"_s, p.flatpakInfo);
        for (const auto &[file, content] : p.files)
            writeFile(dir + file, content);
        if (p.executable.startsWith(u'/'))
            QVERIFY(QFile::link(p.executable, dir + u"exe"_s));
    }
}

void LinuxRunningApplicationsTest::initTestCase()
{
    QByteArray huge = "Name=Huge\n";
    while (huge.size() < 3 * 1024 * 1024)
        huge += "Comment[xx]=" + QByteArray(1000, 'x') + '\n';
    // Desktop entries by ID ("~" for the user's folder, which comes first), and
    // their content after a "[Desktop Entry]" line unless it starts a group.
    const std::pair<QString, QByteArray> entries[] = {
        {"gnome-terminal", "Name=Terminal\nName[de]=Terminal DE"},
        {"com.example.Nameless", "Comment=no Name key"},
        {"com.example.Blank", "Name=   "},
        {"com.example.Browser", "Name=Browser\nStartupWMClass=BrowserMain"},
        {"com.example.Tool", "Name=System Tool"},
        // Key-file rules: a broken group header hides what follows it, the first
        // of two equal keys or groups wins, malformed lines are skipped.
        {"~com.example.Tool",
         "[Broken header\nName=lost\n[Desktop Entry]\n# comment\n"
         "Name = User\\sTool \\\\ \\q  \nName=second\nno equals sign\n=no key\n"
         "[Other]\nHidden=true\n[Desktop Entry]\nHidden=true"},
        {"kde4/kate", "Name=Kate 4"},
        {"notanentry", "[Something Else]\nName=No"},
        {"org.example.Gone", "Name=Gone"},
        {"~org.example.Gone", "Hidden=true"},
        {"../secret", "Name=Secret"},
        {"google-chrome", "Name=Google Chrome"},
        {"~first", "Name=1\nStartupWMClass=Shared"},
        {"second", "Name=2\nStartupWMClass=Shared"},
        {"huge", huge},
        {"binary", "[\0\xff\xfe]\n\0Name=\xff"_ba},
        {"empty", {}},
        {"org.example.Viewer", "Name[sr_RS@latin]=Sr RS latin\nName[sr_RS]=Sr RS\n"
                               "Name[sr@latin]=Sr latin\nName[sr]=Sr\nName[de]=\nName=Plain"}};
    for (const auto &[id, body] : entries) {
        const QString path = id.startsWith(u'~') ? u"home/applications/"_s + id.sliced(1)
                                                 : u"usr/applications/"_s + id;
        const bool whole = body.isEmpty() || body.startsWith('[');
        writeFile(m_data.filePath(path + u".desktop"_s),
                  whole ? body : "[Desktop Entry]\n" + body + '\n');
    }
    QVERIFY(QDir().mkpath(m_data.filePath(u"usr/applications/folder.desktop"_s)));
}

void LinuxRunningApplicationsTest::findsTheApplicationUnit()
{
    // A cgroup file, or a unit in the usual path, and the desktop entry ID of its
    // systemd unit | its Snap.
    const std::pair<QByteArray, QString> cases[] = {
        {"app-gnome-org.gnome.Nautilus-4711.scope", u"org.gnome.Nautilus|"_s},
        {"app-org.kde.konsole-8e2b1c.scope", u"org.kde.konsole|"_s},
        {"app-gnome-gnome\\x2dterminal-12.scope", u"gnome-terminal|"_s},
        {"app-gnome-\\x2Dx\\x2d-12.scope", u"-x-|"_s},
        {"app-gnome-caf\\xc3\\xa9-1.scope", u"café|"_s}, // the bytes of one UTF-8 character
        {"app-gnome-abc\\x2-1.scope", u"abc\\x2|"_s},    // broken escapes stay as written
        {"app-gnome-a\\xZZb\\nc-1.scope", u"a\\xZZb\\nc|"_s},
        {"app-gnome-a\\xffb-1.scope", u"a\ufffdb|"_s},             // invalid UTF-8 is replaced
        {"app-gnome-google-chrome-12.scope", u"google-chrome|"_s}, // '-' left unescaped
        {"app-gnome-com.example.Tool@3f2a.service", u"com.example.Tool|"_s},
        {"app-kde-org.kde.kalendarac.service", u"org.kde.kalendarac|"_s},
        {"app-gnome-org.gnome.Nautilus.slice", u"|"_s},
        {"app-.scope", u"|"_s},
        {"app-gnome-a\\x2fb-1.scope", u"|"_s}, // an escaped '/' makes no path
        {"app-gnome-a\\x0ab-1.scope", u"|"_s},
        {"snap.firefox.firefox.1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope", u"|firefox_firefox"_s},
        {"snap.code.code-1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope", u"|code_code"_s},
        {"snap.foo.bar-baz.scope", u"|foo_bar-baz"_s},
        {"snap.foo.hook.configure-1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope", u"|"_s},
        {"snap.foo.-1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope", u"|"_s},
        // The innermost unit wins, and the unified line of cgroup v2 over v1 lines.
        {"0::/user.slice/app-gnome-outer-1.scope/app-gnome-inner-2.scope\n", u"inner|"_s},
        {"12:pids:/app-gnome-from\\x2dv1-1.scope\n0::/app-gnome-from\\x2dv2-1.scope\n",
         u"from-v2|"_s},
        {"0::/odd:dir/app-gnome-x-1.scope", u"x|"_s}, // only two ':' separate fields
        {"0::", u"|"_s},
        {"0::/\xff\xfe\0app-gnome-x-1.scope"_ba, u"|"_s},
    };
    for (const auto &[text, expected] : cases) {
        const QByteArray cgroup =
            text.contains(':') ? text : "0::/user.slice/user@1000.service/app.slice/" + text;
        const CgroupApplications found = cgroupApplications(cgroup);
        const QString input = QString::fromUtf8(cgroup) + u" -> "_s;
        QCOMPARE(input + (found.systemdUnit ? found.systemdUnit->identifier : QString()) + u'|' +
                     (found.snap ? found.snap->identifier : QString()),
                 input + expected);
    }
}

void LinuxRunningApplicationsTest::findsDesktopEntries()
{
    const DesktopEntries entries = this->entries();
    // The Names found by ID ("-": none). IDs come from window properties any
    // program can set, so none may leave the application folders.
    QStringList names;
    for (const QString &id :
         {u"com.example.Tool"_s, u"kde4-kate"_s, u"notanentry"_s, u"missing"_s, QString(),
          u"org.example.Gone"_s, u"../secret"_s, u"kde4/kate"_s, u".."_s, QString(300, u'a'),
          u"huge"_s, u"binary"_s, u"empty"_s, u"folder"_s})
        names << (entries.find(id) ? entries.find(id)->name : u"-"_s);
    QCOMPARE(names, u"User Tool \\ \\q,Kate 4,-,-,-,-,-,-,-,-,Huge,-,-,-"_s.split(u','));

    // Of two entries declaring one window class, the first folder's wins.
    QCOMPARE(entries.findForWindowClass(u"Shared"_s, {}).value_or(DesktopEntry{}).id, u"first"_s);

    // A file cut short loses its cut last line rather than keeping half a value.
    const KeyFile cut = KeyFile::parse("[G]\nWhole=yes\nHalf=val", true);
    QCOMPARE(cut.value(u"G"_s, u"Whole"_s) + u'|' + cut.value(u"G"_s, u"Half"_s), u"yes|"_s);
}

void LinuxRunningApplicationsTest::translatesNames()
{
    // An empty translation does not count.
    QStringList names;
    for (const char *locale : {"sr_RS.UTF-8@latin", "sr_RS.UTF-8", "sr_ME@latin", "sr_ME.UTF-8",
                               "fr_FR.UTF-8", "C.UTF-8", "de_DE", ""})
        names << entries(QString::fromLatin1(locale)).find(u"org.example.Viewer"_s).value().name;
    QCOMPARE(names, u"Sr RS latin,Sr RS,Sr latin,Sr,Plain,Plain,Plain,Plain"_s.split(u','));
    // The pass names applications in the session's language.
    add({{20, 10, "/usr/bin/gnome-terminal", "app-gnome-gnome\\x2dterminal-20.scope"}});
    QCOMPARE(scan(u"de_DE.UTF-8"_s), QStringList(u"Terminal DE | gnome-terminal"_s));
}

void LinuxRunningApplicationsTest::readsProcesses_data()
{
    QTest::addColumn<FakeProcesses>("processes");
    QTest::addColumn<QStringList>("applications");

    // Each source of the identifier, and each over the next in order of trust.
    const QByteArray hint =
        "HOME=/u\0GIO_LAUNCHED_DESKTOP_FILE=/opt/hint/from.Hint.desktop\0X=1"_ba;
    const QByteArray bamf = "BAMF_DESKTOP_FILE_HINT=/x/applications/kde4/bamf.desktop";
    const QByteArray flatpak = "[Application]\nname=from.Flatpak\n";
    const FakeProcesses sources{
        {30, 1, "/usr/bin/a", "app-gnome-from.Unit-30.scope", {}, hint, flatpak},
        {31, 1, "/usr/bin/b", "snap.fromsnap.app.scope", {}, hint, flatpak},
        {32, 1, "/usr/bin/c", "snap.fromsnap.app.scope", {}, hint},
        {33, 1, "/usr/bin/d", {}, {}, hint},
        // A Flatpak file that names nothing does not hide the next source.
        {34, 1, "/usr/bin/e", {}, {}, bamf, "[Application]\nruntime=x\n"}};
    QTest::newRow("unit, then Flatpak, then Snap, then hint")
        << sources
        << u"a | from.Unit, b | from.Flatpak, c | fromsnap_app, d | from.Hint, e | kde4-bamf"_s
               .split(u", "_s);

    // An app's own entry outside the application folders is read where the
    // launcher found it; a FIFO there reads as nothing.
    const QString elsewhere = m_data.filePath(u"elsewhere/notes.desktop"_s);
    writeFile(elsewhere, "[Desktop Entry]\nName=Cluely\n");
    const QString fifo = m_data.filePath(u"elsewhere/fifo.desktop"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray launched = "GIO_LAUNCHED_DESKTOP_FILE=";
    QTest::newRow("hinted entries outside the folders")
        << FakeProcesses{{35, 1, "/usr/bin/notes", {}, {}, launched + QFile::encodeName(elsewhere)},
                         {36, 1, "/usr/bin/blocked", {}, {}, launched + QFile::encodeName(fifo)}}
        << u"Cluely | notes, blocked | fifo"_s.split(u", "_s);

    // One unit: the app and its helpers, other executables too; a second launch
    // is a second instance. Flatpak processes of one instance id, even when not
    // parent and child. Children inherit a launcher's hint; an unrelated process
    // with the same hint is another instance.
    const QByteArray chat = "app-gnome-com.example.Chat-40.scope";
    const QByteArray flat = "[Application]\nname=com.example.Flat\n[Instance]\ninstance-id=9\n";
    const QByteArray hinted = "GIO_LAUNCHED_DESKTOP_FILE=/a/applications/com.example.Hint.desktop";
    const FakeProcesses helpers{{40, 10, "/usr/bin/chat", chat},
                                {41, 40, "/usr/lib/chat/chat-helper", chat},
                                {42, 41, "/usr/lib/chat/renderer", chat},
                                {50, 10, "/usr/bin/chat", "app-gnome-com.example.Chat-50.scope"},
                                {60, 10, "/app/bin/flat", {}, {}, {}, flat},
                                {61, 1, "/app/bin/flat-zygote", {}, {}, {}, flat},
                                {70, 10, "/usr/bin/hinted", {}, {}, hinted},
                                {71, 70, "/usr/bin/hinted-worker", {}, {}, hinted},
                                {72, 10, "/usr/bin/hinted", {}, {}, hinted}};
    QTest::newRow("helpers grouped into instances")
        << helpers
        << u"chat | com.example.Chat, chat | com.example.Chat, flat | com.example.Flat, hinted | com.example.Hint, hinted | com.example.Hint"_s
               .split(u", "_s);

    // An entry without a usable Name, none at all, no exe link, a replaced binary;
    // listed by start time (pids wrap around), then by pid.
    const FakeProcesses names{
        {900, 1, "/usr/bin/nameless", "app-gnome-com.example.Nameless-9.scope", {}, {}, {}, 5},
        {92, 1, "/usr/bin/blank", "app-gnome-com.example.Blank-9.scope", {}, {}, {}, 70},
        {91, 1, "./bin/from-argv", "app-gnome-no.Entry-9.scope", {}, {}, {}, 70},
        {80, 1, "/usr/bin/old (deleted)", "app-gnome-replaced.Exe-9.scope", {}, {}, {}, 90}};
    QTest::newRow("names from the executable, in start order")
        << names
        << u"nameless | com.example.Nameless, from-argv | no.Entry, blank | com.example.Blank, "
           u"old | replaced.Exe"_s.split(u", "_s);

    // Another user's, zombies, kernel threads, no program; broken stat and status
    // files; a huge environment (not trusted) and a huge cgroup file (read as far
    // as it goes); binary garbage.
    const auto file = [](const char *name, const QByteArray &content) {
        return QList<std::pair<QString, QByteArray>>{{QString::fromLatin1(name), content}};
    };
    const QByteArray hugeEnviron = "A=" + QByteArray(2 << 20, 'x') + '\0' + hint;
    const QByteArray junk = QByteArray("\xff\0\1", 3).repeated(100);
    const QByteArray hugeCgroup = "0::/app-gnome-head.Unit-1.scope\n" + QByteArray(4 << 20, ':');
    const FakeProcesses broken{
        {100, 1, "/usr/bin/mine", "app-gnome-mine-1.scope"},
        {101, 1, "/bin/root", "app-x-a-1.scope", file("status", "Uid:\t0\t0\n")},
        {102, 1, "/bin/zombie", "app-x-b-1.scope", file("stat", stat("z", 'Z', "0"))},
        {103, 1, "/bin/kworker", "app-x-c-1.scope", file("stat", stat("k", 'S', "2097152"))},
        {104, 1, QString(), "app-x-d-1.scope"},
        {105, 1, "/bin/s1", "app-x-e-1.scope", file("stat", "105 (s1) S")},
        {106, 1, "/bin/s2", "app-x-f-1.scope",
         file("stat", stat("s2", 'S', "0").replace(')', ' '))},
        {107, 1, "/bin/u1", "app-x-g-1.scope", file("status", "Name:\tu1\n")},
        {108, 1, "/bin/u2", "app-x-h-1.scope", file("status", "Uid:\tabc\n")},
        {109, 1, "/bin/odd", "app-x-odd.Name-1.scope",
         file("stat", stat("a) (b c", 'S', "0", 1, 109))},
        {110, 1, "/bin/env-huge", {}, {}, hugeEnviron},
        {111, 1, "/bin/cg-huge", {}, file("cgroup", hugeCgroup)},
        {112, 1, "/bin/junk", {}, file("cgroup", junk), junk, junk}};
    QTest::newRow("what is no application, and broken files")
        << broken << u"mine | mine, odd | odd.Name, cg-huge | head.Unit"_s.split(u", "_s);
}

void LinuxRunningApplicationsTest::readsProcesses()
{
    QFETCH(FakeProcesses, processes);
    QFETCH(QStringList, applications);
    add(processes);
    for (const char *gone : {"113", "self", "-5"}) // 113 exited while being read
        QVERIFY(QDir().mkpath(m_proc->filePath(QLatin1StringView(gone))));
    QCOMPARE(scan(), applications);

    // A pass's two sources over one walk give what each gives alone, and keep
    // what they saw once the processes are gone.
    const ProcSnapshotSources shared(environment(), u"/home/ann"_s);
    const auto alone = ProcProcessSource(m_proc->path(), u"/home/ann"_s).runningProcesses();
    QVERIFY(m_proc->remove());
    QCOMPARE(shared.runningProcesses(), alone);
    QCOMPARE(described(shared.runningApplications()), applications);
}

void LinuxRunningApplicationsTest::groupsWindowsWithTheirProcesses_data()
{
    QTest::addColumn<Processes>("processes");
    QTest::addColumn<Windows>("windows");
    QTest::addColumn<QString>("applications");

    // Konsole runs the shell and whatever the shell starts in its own unit.
    const LaunchIdentity konsole{"org.kde.konsole", "app-org.kde.konsole-1f2e.scope"};
    QTest::newRow("tool started in a terminal's unit")
        << Processes{{200, 10, 200, "konsole", konsole},
                     {201, 200, 201, "bash", konsole},
                     {202, 201, 202, "Cluely", konsole},
                     {203, 202, 203, "Cluely", konsole}}
        << Windows{{202, "cluely", "Cluely"}, {200, "konsole", "konsole"}}
        << u"konsole | org.kde.konsole, Cluely | -"_s;
    QTest::newRow("tool started in a plain terminal")
        << Processes{{300, 10, 300, "xterm"}, {301, 300, 301, "sh"}, {302, 301, 302, "Cluely"}}
        << Windows{{302, {}, "Cluely"}, {300, {}, "XTerm"}} << u"XTerm | -, Cluely | -"_s;

    // A helper with its own executable and a window of the application's class;
    // without a unit, a tool and its windowless children of the same executable.
    const LaunchIdentity browser{"com.example.Browser", "app-gnome-com.example.Browser-4.scope"};
    QTest::newRow("windows of one application")
        << Processes{{400, 10, 400, "browser", browser},
                     {401, 400, 401, "browser", browser},
                     {402, 400, 402, "browser-gpu", browser},
                     {500, 10, 500, "Cluely"},
                     {501, 500, 501, "Cluely"},
                     {502, 501, 502, "Cluely"}}
        << Windows{{400, {}, "BrowserMain"}, {400, {}, "BrowserMain"}, {402, {}, "BrowserMain"},
                   {500, {}, "Cluely"},      {500, {}, "Cluely"},      {502, {}, "Cluely"}}
        << u"Browser | com.example.Browser, Cluely | -"_s;

    // _GTK_APPLICATION_ID, _KDE_NET_WM_DESKTOP_FILE, a declared and a lower-case
    // class; a unit outranks the window's identifier, whose class then names it.
    QTest::newRow("window properties")
        << Processes{{600, 1, 600, "editor"},
                     {601, 1, 601, "kate"},
                     {602, 1, 602, "b"},
                     {603, 1, 603, "chrome"},
                     {604, 1, 604, "u", LaunchIdentity{"from.Unit", "u"}}}
        << Windows{{600, {}, "Editor", "com.example.Tool"},
                   {601, {}, "kate", {}, "/usr/share/applications/kde4/kate.desktop"},
                   {602, {}, "BrowserMain"},
                   {603, {}, "Google-chrome"},
                   {604, {}, "Other", "from.Window"}}
        << u"User Tool \\ \\q | com.example.Tool, Kate 4 | kde4-kate, Browser | "
           u"com.example.Browser, "
           u"Google Chrome | google-chrome, Other | from.Unit"_s;

    // No properties at all, no _NET_WM_PID, another user's or a remote client,
    // an identifier that is a path, only an instance name: a window that names
    // no application and has no known process is one of its own.
    QTest::newRow("windows without a process or properties")
        << Processes{{700, 1, 700, "silent"}}
        << Windows{{700},
                   {.id = u"0x1"_s},
                   {{}, {}, "Cluely"},
                   {99999, {}, "Cluely"},
                   {99998, {}, {}, "google-chrome"},
                   {.applicationId = u"../../etc/passwd"_s, .id = u"0x2"_s},
                   {.instanceName = u"only-instance"_s, .title = u"Notes"_s}}
        << u"an unnamed window (0x1) | -, Cluely | -, Google Chrome | google-chrome, "
           u"an unnamed window (0x2) | -, Notes | -"_s;
}

void LinuxRunningApplicationsTest::groupsWindowsWithTheirProcesses()
{
    QFETCH(Processes, processes);
    QFETCH(Windows, windows);
    QFETCH(QString, applications);
    QCOMPARE(described(groupApplications(processes, windows, entries())),
             applications.split(u", "_s));
}

void LinuxRunningApplicationsTest::weighsOverlayTraits()
{
    // Each trait adds its weight (always on top 3, or 2 when only above the
    // active window; hidden from the task bar 2; click-through 3; transparent,
    // undecorated, shaped 1 each); 5 makes an overlay. The overlays themselves
    // are rows of tst_applications_x11, read from real windows.
    // clang-format off
    const std::tuple<const char *, WindowLayering, QString> cases[] = {
        {"pinned on top by its user", {.viewable = true, .above = true, .width = 800, .height = 600}, {}},
        {"left above the active one by focus without raise", {.viewable = true, .width = 800, .height = 600, .argbVisual = true, .aboveActiveWindow = true, .undecorated = true}, {}},
        {"700x50 strip, kept out of the client list", {.viewable = true, .above = true, .width = 700, .height = 50, .unlisted = true},
         u"always on top, hidden from the task bar"_s},
        {"kept below, hidden from the task bar", {.viewable = true, .skipTaskbar = true, .width = 300, .height = 600, .argbVisual = true, .undecorated = true}, {}},
        {"tiny", {.viewable = true, .overrideRedirect = true, .width = 90, .height = 100}, {}},
        {"too thin to read", {.viewable = true, .overrideRedirect = true, .width = 2000, .height = 9}, {}},
        {"the desktop's own", {.viewable = true, .above = true, .skipTaskbar = true, .desktopType = true, .width = 1920, .height = 40, .emptyInputShape = true}, {}},
        {"not on screen", {.overrideRedirect = true, .width = 400, .height = 200}, {}},
        {"left out of screen sharing", {.viewable = true, .width = 400, .height = 200, .hiddenFromCapture = true},
         u"hidden from screen sharing"_s},
    };
    // clang-format on
    for (const auto &[name, layering, traits] : cases)
        QCOMPARE(QLatin1StringView(name) + u": "_s + overlayTraits(layering).join(u", "_s),
                 QLatin1StringView(name) + u": "_s + traits);
}

void LinuxRunningApplicationsTest::readsKWinsReport()
{
    // The first window as KWin 5.27 reported it (tst_wayland runs it); the
    // second in Plasma 6's shape, with its exclusion from screen capture.
    const QByteArray report = R"([
        {"id":"{0ab79dd9-e31e-4f0b-8071-a57caf60c3cf}","resourceClass":"cluely",
         "resourceName":"nimbrel-wayland-test-window","caption":"Cluely","pid":12045,
         "desktopFileName":"cluely","keepAbove":false,"skipTaskbar":false,"minimized":false,
         "excludeFromCapture":false,"width":300,"height":200,"opacity":1,"noBorder":false,
         "shaped":false,"aboveActive":false,"desktopType":false},
        {"id":"{0b5f}","resourceClass":"helper","resourceName":"helper","caption":"  Answers \n",
         "pid":0,"desktopFileName":"","keepAbove":true,"skipTaskbar":true,"minimized":false,
         "excludeFromCapture":true,"width":500,"height":300,"opacity":0.8,"noBorder":true,
         "shaped":true,"aboveActive":true,"desktopType":false}])";
    const QList<TopLevelWindow> expected{
        {.pid = 12045,
         .instanceName = u"nimbrel-wayland-test-window"_s,
         .className = u"cluely"_s,
         .desktopFile = u"cluely"_s,
         .id = u"{0ab79dd9-e31e-4f0b-8071-a57caf60c3cf}"_s,
         .title = u"Cluely"_s},
        {.instanceName = u"helper"_s,
         .className = u"helper"_s,
         .id = u"{0b5f}"_s,
         .title = u"Answers"_s,
         .overlayTraits = {u"hidden from screen sharing"_s, u"always on top"_s,
                           u"hidden from the task bar"_s, u"transparent"_s, u"undecorated"_s,
                           u"shaped"_s}},
    };
    QCOMPARE(windowsFromKWinReport(report), expected);
    QCOMPARE(windowsFromKWinReport("{\"not\": \"a list\"}"), QList<TopLevelWindow>{});
}

void LinuxRunningApplicationsTest::saysWhatWindowsItCannotRead()
{
    // Sockets ("x11/X0", "run/wayland-0") in folders of each case's own, never
    // the machine's: other tests run X servers meanwhile.
    // A Wayland socket that never answers is given up after 250 ms; a Wayland
    // session without Xwayland's socket needs no DISPLAY.
    const QString unset = u"windows: a graphical session is running but DISPLAY is not set"_s;
    const QString silent =
        u"windows: the Wayland compositor at %1/run/wayland-0 stopped answering"_s;
    const QString noCompositor = u"windows: a Wayland session is running but no compositor answers "
                                 u"in XDG_RUNTIME_DIR, and WAYLAND_DISPLAY is not set"_s;
    const QString unreachable = u"windows: the X display :99999 cannot be reached"_s;
    const std::tuple<std::optional<QString>, QString, QStringList, QStringList, QStringList>
        cases[] = {
            // DISPLAY, session type, listening sockets, sockets left behind, limits
            {{}, u"tty"_s, {}, {u"x11/X0"_s}, {}},
            {{}, {}, {u"x11/X0"_s}, {}, {unset}},
            {{}, u"x11"_s, {}, {}, {unset}},
            {{}, {}, {u"run/wayland-0"_s}, {u"run/wayland-1"_s}, {silent}},
            {{}, {}, {u"x11/X0"_s, u"run/wayland-0"_s}, {}, {unset, silent}},
            {u":99999"_s, u"wayland"_s, {}, {}, {unreachable, noCompositor}},
        };
    for (const auto &[display, type, listening, ended, limits] : cases) {
        QTemporaryDir session;
        writeFile(session.filePath(u"x11/.keep"_s), {});
        writeFile(session.filePath(u"run/wayland-0.lock"_s), {}); // not a socket
        std::list<QLocalServer> servers;
        for (const QString &socket : listening)
            QVERIFY(servers.emplace_back().listen(session.filePath(socket)));
        for (const QString &socket : ended) // a socket no server listens on
            QCOMPARE(::mknod(QFile::encodeName(session.filePath(socket)), S_IFSOCK | 0600, 0), 0);
        LinuxRunningApplications source({.procRoot = m_proc->path(),
                                         .x11Display = display,
                                         .x11SocketDir = session.filePath(u"x11"_s),
                                         .runtimeDir = session.filePath(u"run"_s),
                                         .sessionType = type});
        source.runningApplications();
        QCOMPARE(source.applicationLimits().join(u'\n'),
                 limits.join(u'\n').replace(u"%1"_s, session.path()));
    }
}

void LinuxRunningApplicationsTest::readsWaylandCompositors_data()
{
    QTest::addColumn<bool>("offersList");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<QByteArray>("command"); // the compositor's, as /proc tells
    QTest::addColumn<QStringList>("applications");
    QTest::addColumn<QString>("limit");
    const QString none = u"windows: native Wayland windows are not visible on this desktop: "_s;
    QTest::newRow("a window list")
        << true << false << QByteArray() << QStringList{u"cluely | cluely"_s} << QString();
    QTest::newRow("GNOME Shell") << false << false << QByteArray("gnome-shell\n") << QStringList()
                                 << none + u"GNOME Shell does not list them to other programs"_s;
    QTest::newRow("an unknown compositor")
        << false << false << QByteArray() << QStringList()
        << none + u"its compositor does not list them to other programs"_s;
    QTest::newRow("a list kept to another client")
        << true << true << QByteArray("labwc\n") << QStringList()
        << none + u"labwc does not list them to other programs"_s;
}

void LinuxRunningApplicationsTest::readsWaylandCompositors()
{
    QFETCH(bool, offersList);
    QFETCH(bool, ended);
    QFETCH(QByteArray, command);
    QFETCH(QStringList, applications);
    QFETCH(QString, limit);
    if (!command.isEmpty())
        writeFile(m_proc->filePath(QString::number(getpid()) + u"/comm"_s), command);
    const QTemporaryDir run;
    const FakeCompositor compositor(run.filePath(u"wayland-0"_s), offersList, ended);
    LinuxRunningApplications source({.procRoot = m_proc->path(), .runtimeDir = run.path()});
    QCOMPARE(described(source.runningApplications()), applications);
    QCOMPARE(source.applicationLimits(), limit.isEmpty() ? QStringList() : QStringList{limit});
    QCOMPARE(waylandOutputs(run.filePath(u"wayland-0"_s)), QList<QSize>{QSize(1024, 768)});
}

QTEST_GUILESS_MAIN(LinuxRunningApplicationsTest)
#include "tst_linuxrunningapplications.moc"
