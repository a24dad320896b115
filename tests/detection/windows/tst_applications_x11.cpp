// Under a real X server (Xvfb, two screens, openbox managing the first):
// windows of a tool named "Cluely" as the running-applications source and
// nimbrel-scan see them.

#include "detection/desktop/LinuxRunningApplications.h"
#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
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
    Seen seen{source.runningApplications(), {}};
    seen.limits = source.applicationLimits();
    return seen;
}

// "name<TAB>identifier" of each application the source sees, "-" for none.
QStringList applicationsOn(const QString &display = qEnvironmentVariable("DISPLAY"),
                           const QString &procRoot = u"/proc"_s)
{
    QStringList described;
    for (const RunningApplication &application : seenOn(display, procRoot).applications)
        described << application.displayName.value_or(u"-"_s) + u'\t' +
                         application.bundleIdentifier.value_or(u"-"_s);
    return described;
}

bool windowManagerRuns()
{
    QProcess xprop; // says "not found" until the window manager has set up the screen
    xprop.start(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
    return xprop.waitForFinished() && xprop.readAll().contains("window id");
}

} // namespace

class ApplicationsX11Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void seesTheToolOnce_data();
    void seesTheToolOnce();
    void scanReportsTheToolOnce();
    void blindedPassSaysSo();
    void readsEveryName();
    void everyWindowAndOverlay_data();
    void everyWindowAndOverlay();
    void osdCatIsAnOverlay();

private:
    void startTool(const QString &arguments, const QString &name = u"Cluely"_s, int screen = 0);
    std::unique_ptr<QProcess> launch(const QStringList &arguments, const QString &name, int screen);
    QString scanReport();

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
        return windowManagerRuns();
    };
    QTRY_VERIFY_WITH_TIMEOUT(startWindowManager(), 30'000);
    // The program file's name is what the window's class and the process table show.
    for (const QString &name : {u"Cluely"_s, u"notes"_s})
        QVERIFY(QFile::copy(QStringLiteral(TEST_WINDOW_PATH), m_dir.filePath(name)));
}

std::unique_ptr<QProcess> ApplicationsX11Test::launch(const QStringList &arguments,
                                                      const QString &name, int screen)
{
    auto tool = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_server.display() + u'.' + QString::number(screen));
    tool->setProcessEnvironment(environment);
    tool->start(m_dir.filePath(name), arguments);
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

void ApplicationsX11Test::startTool(const QString &arguments, const QString &name, int screen)
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
    QStringList split = arguments.split(u' ', Qt::SkipEmptyParts);
    if (const qsizetype at = split.indexOf(u"into=host"_s); at >= 0) { // another application's
        m_host = launch({u"window"_s}, u"notes"_s, screen);
        split[at] = u"into="_s + QString::fromLatin1(m_host->readLine()).trimmed().section(u' ', 1);
    }
    m_tool = launch(split, name, screen);
    QVERIFY(m_tool->canReadLine());
    QVERIFY(m_tool->readLine().startsWith("ready"));
}

QString ApplicationsX11Test::scanReport()
{
    QProcess scan;
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), {u"--explain"_s});
    return scan.waitForFinished(30000) ? QString::fromUtf8(scan.readAllStandardOutput())
                                       : QString();
}

void ApplicationsX11Test::seesTheToolOnce_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("screen");
    QTest::newRow("in the window manager's frames") << QString() << 0;
    QTest::newRow("windows without _NET_WM_PID") << u"no-pid"_s << 0;
    QTest::newRow("a client list that leaves one out") << u"client-list"_s << 1;
}

void ApplicationsX11Test::seesTheToolOnce()
{
    QFETCH(QString, arguments);
    QFETCH(int, screen);
    startTool(arguments, u"Cluely"_s, screen);
    // Two windows, the "Unlisted" one (unmapped, or left out of the client
    // list) and a helper process are one application, the process's.
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
    QCOMPARE(applicationsOn().count(u"Unlisted\t-"_s), 0);
}

void ApplicationsX11Test::scanReportsTheToolOnce()
{
#ifndef NIMBREL_SCAN_PATH
    QSKIP("nimbrel-scan is not part of this build");
#else
    startTool({});
    QProcess scan;
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), {});
    QVERIFY(scan.waitForFinished(30000));
    QCOMPARE(scan.exitCode(), 1);
    const QStringList report = QString::fromUtf8(scan.readAllStandardOutput()).split(u'\n');
    QCOMPARE(report.count(u"🚨 CLUELY DETECTED - App: Cluely"_s), 1);
    // The executable of the same name, and its helper, add no line of their own.
    QVERIFY2(!report.contains(u"🚨 CLUELY DETECTED - Process: Cluely"_s),
             qPrintable(report.join(u'\n')));
    // What the source sees, for a person to check: name, tab, identifier ("-": none).
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), {u"--apps"_s});
    QVERIFY(scan.waitForFinished(30000));
    QCOMPARE(scan.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(scan.readAllStandardOutput()).split(u'\n').count(u"Cluely\t-"_s), 1);
#endif
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
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(seenOn(stopped.display(), m_dir.path()).limits, stoppedAnswering);
    const qint64 first = timer.restart();
    QCOMPARE(seenOn(stopped.display(), m_dir.path()).limits, stoppedAnswering); // not tried again
    qInfo("pass against a stopped X server: %lld ms, then %lld ms", first, timer.elapsed());
    QCOMPARE(::kill(pid_t(stopped.processId()), SIGCONT), 0);

    startTool(u"window grab"_s, u"notes"_s);
    QTRY_COMPARE(seenOn(m_server.display(), m_dir.path()).limits,
                 QStringList{u"windows: the X server of "_s + m_server.display() +
                             u" stopped answering (a client may hold it grabbed)"_s});
    startTool(u"many-named"_s, u"notes"_s);
    QTRY_VERIFY(seenOn().limits.contains(u"windows: "_s + m_server.display() +
                                         u" shows more than 4096 windows on screen or with a "
                                         u"name; the rest were not read"_s));
    // Once the server answers again the abandoned attempt ends, and passes
    // read windows again.
    startTool({});
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
}

void ApplicationsX11Test::readsEveryName()
{
    // A window without WM_CLASS or _NET_WM_PID is still its process's; its
    // title is read whole, whitespace runs made one space. A hidden window
    // counts by its name.
    startTool(u"names"_s, u"notes"_s);
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
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("screen");
    QTest::addColumn<QString>("line");       // exactly once in the report
    QTest::addColumn<int>("overlayWindows"); // explained under it

    const auto row = [](const char *name, const QString &tool, const QString &mode, int screen,
                        const QString &line, int overlayWindows = 0) {
        QTest::newRow(name) << tool << mode << screen << line << overlayWindows;
    };
    const QString cluely = u"🚨 CLUELY DETECTED - App: Cluely"_s;
    // A title in a window with neither WM_CLASS nor _NET_WM_PID; windows of
    // class Cluely on the second screen, unmapped, under 5,000 unmapped ones,
    // inside another application's window; an override-redirect window no
    // window manager lists (an overlay as well); a client list that hides the
    // window among 100,000 bogus ids.
    row("title", u"notes"_s, u"title"_s, 0,
        u"⚠️ POSSIBLE CLUELY - Window: Cluely (App: notes)"_s);
    row("second screen", u"notes"_s, u"window class=Cluely"_s, 1, cluely);
    row("unmapped", u"notes"_s, u"window unmapped class=Cluely"_s, 0, cluely);
    row("under 5,000 unmapped windows", u"notes"_s, u"under-unmapped"_s, 0, cluely);
    row("inside another application's window", u"Cluely"_s, u"window into=host"_s, 0, cluely);
    row("override-redirect", u"Cluely"_s, u"window override"_s, 0, cluely, 1);
    row("hostile client list", u"Cluely"_s, u"hostile-list"_s, 1, cluely);
    // Overlays, each claiming the test's process id. Of five windows only the
    // real overlay counts: not the same window without its properties, a
    // tiny one, a tooltip or a notification.
    const QString overlay = u"⚠️ OVERLAY WINDOW - App: notes (always on top, "_s;
    const QString floating = overlay + u"hidden from the task bar, click-through, transparent)"_s;
    row("overlay", u"notes"_s, u"overlay"_s, 0, floating, 1);
    row("click-through override-redirect", u"notes"_s, u"window 300x120 override click-through"_s,
        0, overlay + u"hidden from the task bar, click-through)"_s, 1);
    row("on top, in the task bar", u"notes"_s, u"window 400x100 above translucent undecorated"_s, 0,
        overlay + u"transparent, undecorated)"_s, 1);
    row("raises itself", u"notes"_s, u"raises-itself"_s, 0,
        u"⚠️ OVERLAY WINDOW - App: notes (above the active window, hidden from the task bar, "
        u"transparent)"_s,
        1);
    row("700x50 strip", u"notes"_s, u"window 700x50 above skip argb click-through"_s, 0, floating,
        1);
    row("opaque clickable panel", u"notes"_s, u"window 400x300 above skip"_s, 0,
        overlay + u"hidden from the task bar)"_s, 1);
    row("utility type holding DnD", u"notes"_s,
        u"window 400x200 above skip argb click-through type=UTILITY,DND"_s, 0, floating, 1);
    row("shaped override-redirect", u"notes"_s, u"window 300x80 override shaped"_s, 0,
        overlay + u"hidden from the task bar, shaped)"_s, 1);
}

void ApplicationsX11Test::everyWindowAndOverlay()
{
#ifndef NIMBREL_SCAN_PATH
    QSKIP("nimbrel-scan is not part of this build");
#else
    QFETCH(QString, tool);
    QFETCH(QString, mode);
    QFETCH(int, screen);
    QFETCH(QString, line);
    QFETCH(int, overlayWindows);
    startTool(mode, tool, screen);
    // The window manager and a window that raises itself act meanwhile.
    QString output;
    QTRY_VERIFY2_WITH_TIMEOUT((output = scanReport()).split(u'\n').contains(line),
                              qPrintable(output), 15'000);
    const QStringList report = output.split(u'\n');
    QVERIFY2(report.count(line) == 1, qPrintable(output));
    // The explanation follows its line up to the next unindented one.
    const qsizetype at = report.indexOf(line);
    qsizetype end = at + 1;
    while (end < report.size() && report[end].startsWith(u"    "))
        ++end;
    const QStringList explained = report.mid(at + 1, end - at - 1);
    QVERIFY2(explained.filter(u"    overlay-window: 0x"_s).size() == overlayWindows,
             qPrintable(output));
    // The process that made the windows, whatever _NET_WM_PID claims.
    QVERIFY2(
        explained.first().startsWith(u"    process ids: "_s + QString::number(m_tool->processId())),
        qPrintable(output));
    // Titles that match nothing are never shown.
    QVERIFY(!output.contains(u"Shopping list"_s));
#endif
}

void ApplicationsX11Test::osdCatIsAnOverlay()
{
#ifndef NIMBREL_SCAN_PATH
    QSKIP("nimbrel-scan is not part of this build");
#else
    if (QStandardPaths::findExecutable(u"osd_cat"_s).isEmpty())
        QSKIP("osd_cat (xosd-bin) is not installed");
    // Text at the top of the screen: an override-redirect window shaped to its letters.
    QProcess osd;
    osd.start(u"osd_cat"_s, {u"--pos=top"_s, u"--delay=60"_s});
    osd.write("the answer is 42\n");
    QString output;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (output = scanReport())
            .contains(u"⚠️ OVERLAY WINDOW - App: osd_cat (always on top, hidden from the "
                      u"task bar, shaped)\n    process ids: "_s +
                      QString::number(osd.processId())),
        qPrintable(output), 20'000);
    osd.kill();
    osd.waitForFinished();
#endif
}

QTEST_GUILESS_MAIN(ApplicationsX11Test)
#include "tst_applications_x11.moc"
