// Under a real X server (Xvfb): windows of a tool named "Cluely" as the
// running-applications source and nimbrel-scan see them.

#include "LinuxRunningApplications.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Starts Xvfb on a display number it picks itself, so parallel runs never collide.
class XvfbServer
{
public:
    bool start()
    {
        m_process.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s,
                                    u"0"_s, u"640x480x24"_s});
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000))
                return false;
        }
        m_display = u":"_s + QString::fromLatin1(m_process.readLine().trimmed());
        return true;
    }

    ~XvfbServer()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString display() const { return m_display; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    QString m_display;
};

// "name | identifier" of each application, as in the unit tests.
QStringList described(const QList<RunningApplication> &applications)
{
    QStringList lines;
    for (const RunningApplication &application : applications)
        lines << application.displayName.value_or(u"<none>"_s) + u" | "_s +
                     application.bundleIdentifier.value_or(u"<none>"_s);
    return lines;
}

} // namespace

class ApplicationsX11Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void seesTheWindowOfAToolAsOneApplication_data();
    void seesTheWindowOfAToolAsOneApplication();
    void readsTheWindowManagersClientList();
    void scanReportsTheToolOnce();
    void listsWhatItSeesOnRequest();
    void serverThatNeverAnswersDoesNotHoldThePass();

private:
    void startTool(const QStringList &arguments);
    QList<RunningApplication> applicationsOn(const QString &display) const;

    XvfbServer m_server;
    QTemporaryDir m_dir;
    QString m_tool;
    std::unique_ptr<QProcess> m_toolProcess;
};

void ApplicationsX11Test::initTestCase()
{
    QVERIFY2(m_server.start(), "Xvfb did not start");
    // The program file's name is what the window's class and the process table show.
    m_tool = m_dir.path() + u"/Cluely"_s;
    QVERIFY(QFile::copy(QStringLiteral(TEST_WINDOW_PATH), m_tool));
}

void ApplicationsX11Test::cleanup()
{
    if (!m_toolProcess)
        return;
    m_toolProcess->closeWriteChannel(); // the tool and its helper leave when stdin closes
    if (!m_toolProcess->waitForFinished(5000))
        m_toolProcess->kill();
    m_toolProcess.reset();
}

void ApplicationsX11Test::startTool(const QStringList &arguments)
{
    m_toolProcess = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_server.display());
    m_toolProcess->setProcessEnvironment(environment);
    m_toolProcess->start(m_tool, arguments);
    QVERIFY(m_toolProcess->waitForStarted(5000));
    while (!m_toolProcess->canReadLine()) {
        QVERIFY2(m_toolProcess->waitForReadyRead(10000),
                 qPrintable(u"the tool never mapped its windows (exit %1): %2"_s.arg(
                     QString::number(m_toolProcess->exitCode()),
                     QString::fromLocal8Bit(m_toolProcess->readAllStandardError()))));
    }
    QCOMPARE(m_toolProcess->readLine().trimmed(), "ready");
}

QList<RunningApplication> ApplicationsX11Test::applicationsOn(const QString &display) const
{
    return LinuxRunningApplications({.procRoot = u"/proc"_s,
                                     .uid = getuid(),
                                     .dataDirs = {m_dir.path()},
                                     .locale = {},
                                     .x11Display = display})
        .runningApplications();
}

void ApplicationsX11Test::seesTheWindowOfAToolAsOneApplication_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("one window") << QStringList();
    QTest::newRow("three windows and a helper process")
        << QStringList{u"--windows"_s, u"3"_s, u"--fork-helper"_s};
    QTest::newRow("windows without _NET_WM_PID")
        << QStringList{u"--windows"_s, u"2"_s, u"--no-pid"_s};
}

void ApplicationsX11Test::seesTheWindowOfAToolAsOneApplication()
{
    QFETCH(QStringList, arguments);
    QTRY_VERIFY(!described(applicationsOn(m_server.display())).contains(u"Cluely | <none>"_s));
    startTool(arguments);
    const QStringList seen = described(applicationsOn(m_server.display()));
    QCOMPARE(seen.count(u"Cluely | <none>"_s), 1);
}

void ApplicationsX11Test::readsTheWindowManagersClientList()
{
    startTool({u"--client-list"_s});
    const QStringList seen = described(applicationsOn(m_server.display()));
    QCOMPARE(seen.count(u"Cluely | <none>"_s), 1);
    QVERIFY2(!seen.contains(u"Unlisted | <none>"_s), qPrintable(seen.join(u", ")));
}

void ApplicationsX11Test::scanReportsTheToolOnce()
{
#ifndef NIMBREL_SCAN_PATH
    QSKIP("nimbrel-scan is not part of this build");
#else
    startTool({u"--fork-helper"_s});
    QProcess scan;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_server.display());
    scan.setProcessEnvironment(environment);
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), {});
    QVERIFY(scan.waitForFinished(30000));
    const QStringList lines =
        QString::fromUtf8(scan.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.count(u"🚨 CLUELY DETECTED - App: Cluely"_s), 1);
    // The executable of the same name, and its helper, add no line of their own.
    QVERIFY2(!lines.contains(u"🚨 CLUELY DETECTED - Process: Cluely"_s),
             qPrintable(lines.join(u'\n')));
    QCOMPARE(scan.exitCode(), 1);
#endif
}

void ApplicationsX11Test::listsWhatItSeesOnRequest()
{
#ifndef NIMBREL_SCAN_PATH
    QSKIP("nimbrel-scan is not part of this build");
#else
    startTool({});
    QProcess scan;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, m_server.display());
    scan.setProcessEnvironment(environment);
    scan.start(QStringLiteral(NIMBREL_SCAN_PATH), {u"--apps"_s});
    QVERIFY(scan.waitForFinished(30000));
    QCOMPARE(scan.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(scan.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.count(u"Cluely\t-"_s), 1);
#endif
}

void ApplicationsX11Test::serverThatNeverAnswersDoesNotHoldThePass()
{
    // A stopped server accepts connections but answers nothing.
    XvfbServer stopped;
    QVERIFY(stopped.start());
    QCOMPARE(::kill(pid_t(stopped.pid()), SIGSTOP), 0);

    const auto onStopped = [&] {
        return LinuxRunningApplications({.procRoot = m_dir.path(),
                                         .uid = getuid(),
                                         .dataDirs = {},
                                         .locale = {},
                                         .x11Display = stopped.display()})
            .runningApplications();
    };
    QElapsedTimer timer;
    timer.start();
    QVERIFY(onStopped().isEmpty());
    const qint64 first = timer.restart();
    QVERIFY(onStopped().isEmpty()); // the hanging attempt is not repeated
    qInfo("pass against a stopped X server: %lld ms, then %lld ms", first, timer.elapsed());

    // Once the server answers again the abandoned attempt ends, and passes
    // read windows again.
    QCOMPARE(::kill(pid_t(stopped.pid()), SIGCONT), 0);
    startTool({});
    QTRY_COMPARE_WITH_TIMEOUT(
        described(applicationsOn(m_server.display())).count(u"Cluely | <none>"_s), 1, 5000);
}

QTEST_GUILESS_MAIN(ApplicationsX11Test)
#include "tst_applications_x11.moc"
