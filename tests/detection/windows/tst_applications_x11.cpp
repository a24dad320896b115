// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Under a real X server (Xvfb, two screens, openbox managing the first):
// windows of a tool named "Cluely" as the running-applications source and
// nimbrel-scan see them.

#include "XvfbServer.h"
#include "detection/context/MachineContext.h"
#include "detection/desktop/LinuxRunningApplications.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// What the source sees on a display, and what it says it could not.
struct Seen
{
    QList<RunningApplication> applications;
    QStringList limits;
};

Seen seenOn(const QString &display = qEnvironmentVariable("DISPLAY"),
            const QString &procRoot = u"/proc"_s)
{
    const LinuxRunningApplications source(
        {.procRoot = procRoot, .uid = getuid(), .dataDirs = {}, .x11Display = display});
    return {source.runningApplications(), source.applicationLimits()}; // in this order
}

// "name<TAB>identifier" of each application the source sees, "-" for none.
QStringList applicationsOn()
{
    QStringList described;
    for (const RunningApplication &application : seenOn().applications)
        described << application.displayName.value_or(u"-"_s) + u'\t' +
                         application.bundleIdentifier.value_or(u"-"_s);
    return described;
}

// What nimbrel-scan prints with `arguments`; when it does not end with exit
// status `status`, only what it ended with.
QString scanOutput(const QStringList &arguments, int status = 1)
{
    QProcess scan;
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), arguments);
    if (!scan.waitForFinished(30'000) || scan.exitCode() != status)
        return u"nimbrel-scan ended with status %1, not %2"_s.arg(scan.exitCode()).arg(status);
    return QString::fromUtf8(scan.readAllStandardOutput());
}

} // namespace

class ApplicationsX11Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void seesTheToolOnce_data();
    void seesTheToolOnce();
    void blindedPassSaysSo();
    void readsEveryName();
    void everyWindowAndOverlay_data();
    void everyWindowAndOverlay();
    void describesTheDisplay();

private:
    void startTool(QStringList windows, const QString &name = u"Cluely"_s, int screen = 0);
    std::unique_ptr<QProcess> launch(const QStringList &windows, const QString &name, int screen);

    XvfbServer m_server;
    QProcess m_windowManager;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_host; // another application, for the tool to put a window into
    std::unique_ptr<QProcess> m_tool;
};

void ApplicationsX11Test::initTestCase()
{
    QVERIFY2(m_server.start({}, 2), "Xvfb did not start");
    qputenv("DISPLAY", m_server.display().toLocal8Bit()); // for the tool and nimbrel-scan
    // On the first screen. Under load a fresh connection to Xvfb now and then
    // fails, and openbox gives up: it is started again.
    const auto startWindowManager = [this] {
        if (m_windowManager.state() == QProcess::NotRunning)
            m_windowManager.start(u"openbox"_s, {u"--sm-disable"_s});
        QProcess xprop; // says "not found" until the window manager has set up the screen
        xprop.start(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
        return xprop.waitForFinished() && xprop.readAll().contains("window id");
    };
    QTRY_VERIFY_WITH_TIMEOUT(startWindowManager(), 30'000);
    // The program file's name is what the window's class and the process table show.
    for (const QString &name : {u"Cluely"_s, u"notes"_s})
        QVERIFY(QFile::copy(QStringLiteral(TEST_WINDOW_PATH), m_dir.filePath(name)));
}

std::unique_ptr<QProcess> ApplicationsX11Test::launch(const QStringList &windows,
                                                      const QString &name, int screen)
{
    auto tool = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_server.display() + u'.' + QString::number(screen));
    tool->setProcessEnvironment(environment);
    tool->start(m_dir.filePath(name), windows);
    // A busy machine may take a while; a tool that ends or never gets ready
    // says why.
    QDeadlineTimer deadline(30'000);
    while (!tool->canReadLine() && tool->state() != QProcess::NotRunning && !deadline.hasExpired())
        tool->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    if (!tool->canReadLine())
        qWarning("tool not ready: state %d, exit %d, error %s: %s", tool->state(), tool->exitCode(),
                 qPrintable(tool->errorString()), tool->readAllStandardError().constData());
    return tool;
}

void ApplicationsX11Test::startTool(QStringList windows, const QString &name, int screen)
{
    // The last tools and their helpers leave as their standard input closes.
    for (auto *tool : {&m_host, &m_tool}) {
        if (*tool) {
            (*tool)->closeWriteChannel();
            (*tool)->waitForFinished();
            tool->reset();
        }
    }
    QTRY_COMPARE(applicationsOn().filter(QRegularExpression(u"^(Cluely|notes)\t"_s)).size(), 0);
    if (const qsizetype at = windows.indexOf(u"into=host"_s); at >= 0) { // another application's
        m_host = launch({QString()}, u"notes"_s, screen);
        windows[at] =
            u"into="_s + QString::fromLatin1(m_host->readLine()).trimmed().section(u' ', 1);
    }
    m_tool = launch(windows, name, screen);
    QVERIFY(m_tool->canReadLine());
    QVERIFY(m_tool->readLine().startsWith("ready"));
}

void ApplicationsX11Test::seesTheToolOnce_data()
{
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<int>("screen");
    QTest::newRow("in the window manager's frames")
        << QStringList{{}, {}, u"unmapped,class=Unlisted"_s, u"helper"_s} << 0;
    QTest::newRow("windows without _NET_WM_PID")
        << QStringList{u"no-pid"_s, u"no-pid"_s, u"unmapped,no-pid,class=Unlisted"_s, u"helper"_s}
        << 0;
    QTest::newRow("a client list that leaves one out")
        << QStringList{{}, {}, u"unlisted,class=Unlisted"_s, u"helper"_s} << 1;
}

void ApplicationsX11Test::seesTheToolOnce()
{
    QFETCH(QStringList, windows);
    QFETCH(int, screen);
    startTool(windows, u"Cluely"_s, screen);
    // Two windows, the "Unlisted" one (unmapped, or left out of the client
    // list) and a helper process are one application, the process's.
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
    QCOMPARE(applicationsOn().count(u"Unlisted\t-"_s), 0);
    // What nimbrel-scan lists for a person to check, and reports: the
    // executable of the same name, and its helper, add no line of their own.
    QCOMPARE(scanOutput({u"--apps"_s}, 0).split(u'\n').count(u"Cluely\t-"_s), 1);
    const QStringList report = scanOutput({}).split(u'\n');
    QCOMPARE(report.count(u"🚨 CLUELY DETECTED - App: Cluely"_s), 1);
    QVERIFY2(!report.contains(u"🚨 CLUELY DETECTED - Process: Cluely"_s),
             qPrintable(report.join(u'\n')));
}

void ApplicationsX11Test::blindedPassSaysSo()
{
    // A stopped server accepts connections but answers nothing; a client
    // holding the server grabbed has it answer nobody else. Neither is a
    // desktop without windows, and neither holds the pass; nor are more
    // windows than a pass reads.
    XvfbServer stopped;
    QVERIFY(stopped.start());
    QCOMPARE(::kill(pid_t(stopped.processId()), SIGSTOP), 0);
    const QStringList stoppedAnswering{u"windows: the X server of "_s + stopped.display() +
                                       u" stopped answering (a client may hold it grabbed)"_s};
    QCOMPARE(seenOn(stopped.display(), m_dir.path()).limits, stoppedAnswering);
    QCOMPARE(seenOn(stopped.display(), m_dir.path()).limits, stoppedAnswering); // not tried again
    QCOMPARE(::kill(pid_t(stopped.processId()), SIGCONT), 0);

    startTool({u"grab"_s}, u"notes"_s);
    QTRY_COMPARE(seenOn(m_server.display(), m_dir.path()).limits,
                 QStringList{u"windows: the X server of "_s + m_server.display() +
                             u" stopped answering (a client may hold it grabbed)"_s});
    startTool({u"times=4100,unmapped,no-pid,class=Hidden"_s}, u"notes"_s);
    QTRY_VERIFY(seenOn().limits.contains(u"windows: "_s + m_server.display() +
                                         u" shows more than 4096 windows on screen or with a "
                                         u"name; the rest were not read"_s));
    // Once the server answers again the abandoned attempt ends, and passes
    // read windows again.
    startTool({QString()});
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
}

void ApplicationsX11Test::readsEveryName()
{
    // A window without WM_CLASS or _NET_WM_PID is still its process's; its
    // title is read whole, whitespace runs made one space. A hidden window
    // counts by its name.
    const QString title = u"  Notes \t\n about  "_s + QString(3000, u'x') + u"   Cluely "_s;
    startTool({u"no-class,no-pid,_NET_WM_NAME="_s + title +
                   u",_NET_WM_ICON_NAME=Cluely  icon,WM_ICON_NAME=old icon,"
                   u"WM_WINDOW_ROLE=cluely-answers"_s,
               u"unmapped,class=Hidden"_s},
              u"notes"_s);
    const auto names = [this] {
        QStringList names;
        for (const RunningApplication &application : seenOn().applications) {
            for (const ApplicationWindow &window : application.windows) {
                if (application.pids.contains(m_tool->processId()))
                    names << application.displayName.value_or(u"-"_s) + u'|' + window.className +
                                 u'|' + window.title + u'|' + window.iconName + u'|' + window.role;
            }
        }
        return names;
    };
    // Once the window manager has put the window on screen, it names the application.
    QTRY_COMPARE(names(), (QStringList{u"notes||Notes about "_s + QString(3000, u'x') +
                                           u" Cluely|Cluely icon|cluely-answers"_s,
                                       u"notes|Hidden|||"_s}));
}

void ApplicationsX11Test::everyWindowAndOverlay_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<int>("screen");
    QTest::addColumn<QString>("line");       // exactly once in the report
    QTest::addColumn<int>("overlayWindows"); // explained under it

    const auto row = [](const char *name, const QString &tool, const QStringList &windows,
                        int screen, const QString &line, int overlayWindows = 0) {
        QTest::newRow(name) << tool << windows << screen << line << overlayWindows;
    };
    const QString cluely = u"🚨 CLUELY DETECTED - App: Cluely"_s;
    // A title in a window with neither WM_CLASS nor _NET_WM_PID; windows of
    // class Cluely on the second screen, unmapped, under 5,000 unmapped ones,
    // inside another application's window; an override-redirect window no
    // window manager lists (an overlay as well); a client list that hides the
    // window among 100,000 bogus ids.
    row("title", u"notes"_s,
        {u"no-class,no-pid,_NET_WM_NAME=Shopping list"_s, u"no-class,no-pid,_NET_WM_NAME=Cluely"_s},
        0, u"⚠️ POSSIBLE CLUELY - Window: Cluely (App: notes)"_s);
    row("second screen", u"notes"_s, {u"class=Cluely"_s}, 1, cluely);
    row("unmapped", u"notes"_s, {u"unmapped,class=Cluely"_s}, 0, cluely);
    row("under 5,000 unmapped windows", u"notes"_s,
        {u"times=5000,unmapped,no-class,no-pid"_s, u"class=Cluely"_s}, 0, cluely);
    row("inside another application's window", u"Cluely"_s, {u"into=host"_s}, 0, cluely);
    row("override-redirect", u"Cluely"_s, {u"override"_s}, 0, cluely, 1);
    row("hostile client list", u"Cluely"_s, {QString(), u"hostile-list"_s}, 1, cluely);
    // Overlays. Of five windows only the real overlay counts: not the same
    // window without its properties, a tiny one, a tooltip or a notification.
    const QString overlay = u"⚠️ OVERLAY WINDOW - App: notes (always on top, "_s;
    const QString floating = u"400x200,above,skip,argb,click-through"_s;
    row("overlay", u"notes"_s,
        {u"400x200"_s, floating + u",60x40"_s, floating + u",override,type=TOOLTIP"_s,
         floating + u",type=NOTIFICATION"_s, floating},
        0, overlay + u"hidden from the task bar, click-through, transparent)"_s, 1);
    row("on top, in the task bar", u"notes"_s, {u"400x100,above,translucent,undecorated"_s}, 0,
        overlay + u"transparent, undecorated)"_s, 1);
    row("raises itself", u"notes"_s, {u"400x100,skip,argb,raises"_s, u"300x100,active"_s}, 0,
        u"⚠️ OVERLAY WINDOW - App: notes (above the active window, hidden from the task bar, "
        u"transparent)"_s,
        1);
    row("utility type holding DnD", u"notes"_s, {floating + u",type=UTILITY,type=DND"_s}, 0,
        overlay + u"hidden from the task bar, click-through, transparent)"_s, 1);
    row("shaped override-redirect", u"notes"_s, {u"300x80,override,shaped"_s}, 0,
        overlay + u"hidden from the task bar, shaped)"_s, 1);
}

void ApplicationsX11Test::everyWindowAndOverlay()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, windows);
    QFETCH(int, screen);
    QFETCH(QString, line);
    QFETCH(int, overlayWindows);
    startTool(windows, tool, screen);
    // The window manager and a window that raises itself act meanwhile.
    QString output;
    QTRY_VERIFY2_WITH_TIMEOUT((output = scanOutput({u"--explain"_s})).split(u'\n').contains(line),
                              qPrintable(output), 15'000);
    const QStringList report = output.split(u'\n');
    QVERIFY2(report.count(line) == 1, qPrintable(output));
    // The explanation follows its line up to the next unindented one.
    const QStringList after = report.mid(report.indexOf(line) + 1); // ends with an empty line
    const QStringList explained = after.first(after.indexOf(QRegularExpression(u"^(?!    )"_s)));
    QVERIFY2(explained.filter(u"    overlay-window: 0x"_s).size() == overlayWindows,
             qPrintable(output));
    // The process that made the windows, whatever _NET_WM_PID claims.
    QVERIFY2(
        explained.first().startsWith(u"    process ids: "_s + QString::number(m_tool->processId())),
        qPrintable(output));
    // Titles that match nothing are never shown.
    QVERIFY(!output.contains(u"Shopping list"_s));
}

// Each screen's monitor, RandR's, and the window manager of the first; a
// display that cannot be read is a gap in the coverage.
void ApplicationsX11Test::describesTheDisplay()
{
    const ContextSources display{.x11Display = m_server.display()};
    const ScanContext read = machineContext(display, askDisplay(display), {}, {}, {});
    QCOMPARE(read.environment.mid(3), (QStringList{u"monitors: 2 (1280×1024, 1280×1024)"_s,
                                                   u"session: X11 (window manager Openbox)"_s}));
    const ContextSources none{.x11Display = u":9999"_s};
    const ScanContext unread = machineContext(none, askDisplay(none), {}, {}, {});
    QCOMPARE(unread.environment.mid(3), (QStringList{u"monitors: not known"_s, u"session: X11"_s}));
    QCOMPARE(unread.coverage.last(), u"monitors: the X display :9999 cannot be reached"_s);
}

QTEST_GUILESS_MAIN(ApplicationsX11Test)
#include "tst_applications_x11.moc"
