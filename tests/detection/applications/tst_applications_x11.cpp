// Under a real X server (Xvfb): windows of a tool named "Cluely" as the
// running-applications source and nimbrel-scan see them.

#include "LinuxRunningApplications.h"
#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// "name<TAB>identifier" of each application the source sees, "-" for none.
QStringList applicationsOn(const QString &display = qEnvironmentVariable("DISPLAY"),
                           const QString &procRoot = u"/proc"_s)
{
    QStringList described;
    const LinuxRunningApplications source(
        {.procRoot = procRoot, .uid = getuid(), .dataDirs = {}, .x11Display = display});
    for (const RunningApplication &application : source.runningApplications())
        described << application.displayName.value_or(u"-"_s) + u'\t' +
                         application.bundleIdentifier.value_or(u"-"_s);
    return described;
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
    void serverThatNeverAnswersDoesNotHoldThePass();
    void everyWindowAndOverlay_data();
    void everyWindowAndOverlay();

private:
    void startTool(const QStringList &arguments, const QString &name = u"Cluely"_s);

    XvfbServer m_server;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_tool;
};

void ApplicationsX11Test::initTestCase()
{
    QVERIFY2(m_server.start(), "Xvfb did not start");
    qputenv("DISPLAY", m_server.display().toLocal8Bit()); // for the tool and nimbrel-scan
    // The program file's name is what the window's class and the process table show.
    for (const QString &name : {u"Cluely"_s, u"notes"_s})
        QVERIFY(QFile::copy(QStringLiteral(TEST_WINDOW_PATH), m_dir.filePath(name)));
}

void ApplicationsX11Test::startTool(const QStringList &arguments, const QString &name)
{
    // The last tool is killed, and its helper leaves as its standard input closes.
    m_tool = std::make_unique<QProcess>();
    QTRY_COMPARE(applicationsOn().filter(QRegularExpression(u"^(Cluely|notes)\t"_s)).size(), 0);
    m_tool->start(m_dir.filePath(name), arguments);
    // A busy machine may take a while; a tool that ends or never gets ready
    // says why.
    QDeadlineTimer deadline(30'000);
    while (!m_tool->canReadLine() && m_tool->state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        m_tool->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    QVERIFY2(m_tool->canReadLine(),
             qPrintable(u"tool not ready: state %1, exit %2, error %3: %4"_s.arg(m_tool->state())
                            .arg(m_tool->exitCode())
                            .arg(m_tool->errorString(),
                                 QString::fromUtf8(m_tool->readAllStandardError()))));
    QCOMPARE(m_tool->readLine().trimmed(), "ready");
}

void ApplicationsX11Test::seesTheToolOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("mapped children of the root") << QStringList();
    QTest::newRow("windows without _NET_WM_PID") << QStringList{u"no-pid"_s};
    QTest::newRow("the window manager's client list") << QStringList{u"client-list"_s};
}

void ApplicationsX11Test::seesTheToolOnce()
{
    QFETCH(QStringList, arguments);
    startTool(arguments);
    // Two windows and a helper process are one application; "Unlisted" is
    // either unmapped or left out of the client list.
    QCOMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
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

void ApplicationsX11Test::serverThatNeverAnswersDoesNotHoldThePass()
{
    // A stopped server accepts connections but answers nothing.
    XvfbServer stopped;
    QVERIFY(stopped.start());
    QCOMPARE(::kill(pid_t(stopped.processId()), SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(applicationsOn(stopped.display(), m_dir.path()), QStringList());
    const qint64 first = timer.restart();
    QCOMPARE(applicationsOn(stopped.display(), m_dir.path()), QStringList()); // not tried again yet
    qInfo("pass against a stopped X server: %lld ms, then %lld ms", first, timer.elapsed());

    // Once the server answers again the abandoned attempt ends, and passes
    // read windows again.
    QCOMPARE(::kill(pid_t(stopped.processId()), SIGCONT), 0);
    startTool({});
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
}

void ApplicationsX11Test::everyWindowAndOverlay_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("line");       // exactly once in the report
    QTest::addColumn<int>("overlayWindows"); // explained under it

    // A web app's title in a window whose class says otherwise; an
    // override-redirect window no window manager lists (an overlay too); a
    // client list that hides the window among 100,000 bogus ids.
    QTest::newRow("title") << u"notes"_s << u"title"_s
                           << u"🚨 CLUELY DETECTED - Window: Cluely (App: notes)"_s << 0;
    QTest::newRow("override-redirect")
        << u"Cluely"_s << u"override"_s << u"🚨 CLUELY DETECTED - App: Cluely"_s << 1;
    QTest::newRow("hostile client list")
        << u"Cluely"_s << u"hostile-list"_s << u"🚨 CLUELY DETECTED - App: Cluely"_s << 0;
    // Of five windows only the real overlay counts: not the same window
    // without its properties, a tiny one, a tooltip or a notification.
    QTest::newRow("overlay")
        << u"notes"_s << u"overlay"_s
        << u"⚠️ OVERLAY WINDOW - App: notes (always on top, hidden from the "
           u"task bar, click-through, transparent)"_s
        << 1;
    QTest::newRow("click-through override-redirect")
        << u"notes"_s << u"input-only-overlay"_s
        << u"⚠️ OVERLAY WINDOW - App: notes (always on top, hidden from the task bar, "
           u"click-through)"_s
        << 1;
}

void ApplicationsX11Test::everyWindowAndOverlay()
{
#ifndef NIMBREL_SCAN_PATH
    QSKIP("nimbrel-scan is not part of this build");
#else
    QFETCH(QString, tool);
    QFETCH(QString, mode);
    QFETCH(QString, line);
    QFETCH(int, overlayWindows);
    startTool({mode}, tool);
    QProcess scan;
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), {u"--explain"_s});
    QVERIFY(scan.waitForFinished(30000));
    const QString output = QString::fromUtf8(scan.readAllStandardOutput());
    const QStringList report = output.split(u'\n');
    QCOMPARE(scan.exitCode(), 1);
    QVERIFY2(report.count(line) == 1, qPrintable(output));
    // The explanation follows its line up to the next unindented one.
    const qsizetype at = report.indexOf(line);
    qsizetype end = at + 1;
    while (end < report.size() && report[end].startsWith(u"    "))
        ++end;
    const QStringList explained = report.mid(at + 1, end - at - 1);
    QCOMPARE(explained.filter(u"    overlay-window: 0x"_s).size(), overlayWindows);
    QVERIFY2(
        explained.first().startsWith(u"    process ids: "_s + QString::number(m_tool->processId())),
        qPrintable(output));
    // Titles that match nothing are never shown.
    QVERIFY(!output.contains(u"Shopping list"_s));
#endif
}

QTEST_GUILESS_MAIN(ApplicationsX11Test)
#include "tst_applications_x11.moc"
