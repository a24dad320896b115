// Under a real X server (Xvfb): windows of a tool named "Cluely" as the
// running-applications source and nimbrel-scan see them.

#include "LinuxRunningApplications.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Xvfb on a display number it picks itself, so parallel runs never collide.
struct XvfbServer
{
    QProcess process;
    QString display;

    bool start()
    {
        process.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s});
        while (process.waitForReadyRead(10000) && !process.canReadLine()) {
        }
        display = u":"_s + QString::fromLatin1(process.readLine().trimmed());
        return display.size() > 1;
    }

    ~XvfbServer()
    {
        process.terminate(); // a stopped server is killed after the wait
        process.waitForFinished(5000);
    }
};

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

private:
    void startTool(const QStringList &arguments);

    XvfbServer m_server;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_tool;
};

void ApplicationsX11Test::initTestCase()
{
    QVERIFY2(m_server.start(), "Xvfb did not start");
    qputenv("DISPLAY", m_server.display.toLocal8Bit()); // for the tool and nimbrel-scan
    // The program file's name is what the window's class and the process table show.
    QVERIFY(QFile::copy(QStringLiteral(TEST_WINDOW_PATH), m_dir.filePath(u"Cluely"_s)));
}

void ApplicationsX11Test::startTool(const QStringList &arguments)
{
    // The last tool is killed, and its helper leaves as its standard input closes.
    m_tool = std::make_unique<QProcess>();
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 0);
    m_tool->start(m_dir.filePath(u"Cluely"_s), arguments);
    while (m_tool->waitForReadyRead(10000) && !m_tool->canReadLine()) {
    }
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
    QCOMPARE(::kill(pid_t(stopped.process.processId()), SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(applicationsOn(stopped.display, m_dir.path()), QStringList());
    const qint64 first = timer.restart();
    QCOMPARE(applicationsOn(stopped.display, m_dir.path()), QStringList()); // not tried again yet
    qInfo("pass against a stopped X server: %lld ms, then %lld ms", first, timer.elapsed());

    // Once the server answers again the abandoned attempt ends, and passes
    // read windows again.
    QCOMPARE(::kill(pid_t(stopped.process.processId()), SIGCONT), 0);
    startTool({});
    QTRY_COMPARE(applicationsOn().count(u"Cluely\t-"_s), 1);
}

QTEST_GUILESS_MAIN(ApplicationsX11Test)
#include "tst_applications_x11.moc"
