// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Every way the application ends while a window monitors sends that window's
// stop notice once, through the real e-mail service to the local inbox, and
// the process never outlives the ending time. Each case runs the application's
// pieces (windows, e-mail service, signal handling) in a child process.
#include "InboxServer.h"
#include "NimbrelApp.h"
#include "ResendService.h"
#include "TerminationSignals.h"
#include "VerificationFlow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>

#include <csignal>
#include <sys/file.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(NimbrelPlugin)

using namespace Qt::StringLiterals;

namespace {

const QString inboxKey = u"endings-key"_s;
const QString stopped = u"Nimbrel Monitoring Stopped"_s;

// The child: a verified window against the inbox, monitoring unless told to
// stay idle. A line on standard input asks for the ending: the window's close,
// the application's quit or a key ("key:Ctrl+W"); signals come from the parent.
int runApplication(const QString &baseUrl, const QString &mode)
{
    NimbrelApp nimbrel(
        [baseUrl] {
            return std::make_shared<ResendService>(ResendConfig{inboxKey, baseUrl});
        },
        [] { return ScanResult(); });
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &nimbrel,
                     &NimbrelApp::quit);
    QQuickWindow *window = nimbrel.openWindow();
    auto *verification = window->property("verification").value<VerificationFlow *>();
    verification->setInterviewerEmail(u"interviewer@example.com"_s);
    verification->sendVerificationCode();
    verification->setUserInputCode(verification->verificationCode());
    verification->verifyCode();
    if (mode != u"idle")
        window->property("monitoring").value<MonitoringSession *>()->toggleMonitoring();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, window, [&] {
        input.setEnabled(false);
        if (mode.startsWith(u"key:"))
            QTest::keySequence(window, QKeySequence(mode.sliced(4)));
        else
            mode == u"quit" ? nimbrel.quit() : void(window->close());
    });
    // Shortcuts act in the window that has the keyboard.
    window->requestActivate();
    if (!QTest::qWaitForWindowActive(window))
        return EXIT_FAILURE;
    std::puts("ready");
    std::fflush(stdout);
    return QGuiApplication::exec();
}

} // namespace

class TestSessionEndings : public QObject
{
    Q_OBJECT

private slots:
    void endingSendsOneStopNotice_data()
    {
        QTest::addColumn<QString>("mode"); // monitoring, idle, quit or key:SEQUENCE
        QTest::addColumn<int>("signal");   // sent by the parent; 0: a line on stdin
        QTest::addColumn<int>("delayMs");  // the inbox's delay before each answer
        QTest::addColumn<int>("stopNotices");
        QTest::newRow("window closed") << u"monitoring"_s << 0 << 0 << 1;
        QTest::newRow("quit") << u"quit"_s << 0 << 0 << 1;
        QTest::newRow("Ctrl+W") << u"key:Ctrl+W"_s << 0 << 0 << 1;
        QTest::newRow("Escape") << u"key:Escape"_s << 0 << 0 << 1;
        QTest::newRow("SIGTERM") << u"monitoring"_s << SIGTERM << 0 << 1;
        QTest::newRow("SIGINT") << u"monitoring"_s << SIGINT << 0 << 1;
        QTest::newRow("SIGHUP") << u"monitoring"_s << SIGHUP << 0 << 1;
        QTest::newRow("window closed while idle") << u"idle"_s << 0 << 0 << 0;
        QTest::newRow("slow provider, SIGTERM") << u"monitoring"_s << SIGTERM << 10'000 << 1;
    }

    void endingSendsOneStopNotice()
    {
        QFETCH(QString, mode);
        QFETCH(int, signal);
        QFETCH(int, delayMs);
        QFETCH(int, stopNotices);
        InboxServer inbox({.apiKey = inboxKey, .delayMs = delayMs});
        QVERIFY2(inbox.isRunning(), qPrintable(inbox.errorString()));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--application"_s, inbox.baseUrl().toString(), mode});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine(), 15'000);
        QCOMPARE(child.readLine(), "ready\n");
        const auto subjects = [&] {
            QStringList list;
            for (const QJsonValue &email : inbox.emails())
                list.append(email["subject"].toString());
            return list;
        };
        if (mode != u"idle") // the start notice is out: the window monitors
            QTRY_VERIFY_WITH_TIMEOUT(subjects().contains(u"Nimbrel Monitoring Started"_s), 10'000);

        QElapsedTimer sinceEnding;
        sinceEnding.start();
        signal ? ::kill(pid_t(child.processId()), signal) : child.write("end\n");
        QVERIFY(child.waitForFinished(15'000));
        const qint64 endedAfter = sinceEnding.elapsed();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        // The notice's outcome is awaited, but never beyond the ending time.
        QVERIFY2(endedAfter < NimbrelApp::endingTime.count() + 2'000,
                 qPrintable(QString::number(endedAfter)));
        if (delayMs > NimbrelApp::endingTime.count())
            QVERIFY2(endedAfter >= NimbrelApp::endingTime.count() - 100,
                     qPrintable(QString::number(endedAfter)));
        QTRY_COMPARE_WITH_TIMEOUT(subjects().count(stopped), stopNotices, 5'000);
        QTest::qWait(300); // a second notice would show up here
        QCOMPARE(subjects().count(stopped), stopNotices);
    }

    // A storm of SIGTERM 10 ms apart: the first one ends the application, the
    // rest cannot cut that ending short, so its in-memory cache folder goes.
    // Folders of dead instances (lock free) are swept at start, live ones kept.
    // Holding the key, it writes no core file.
    void signalStormLeavesNoCacheFolder()
    {
        QTemporaryDir dir;
        const QString app = dir.filePath(u"nimbrel"_s);
        QVERIFY(QFile::copy(QStringLiteral(NIMBREL_APP_PATH), app));
        QVERIFY(InboxServer::writeConfigPlist(dir.filePath(u"Config.plist"_s), inboxKey,
                                              QUrl(u"http://127.0.0.1:9"_s)));
        const QString shm = u"/dev/shm/nimbrel-cache-0-"_s + QFileInfo(dir.path()).fileName();
        const auto cleanUp = qScopeGuard([&] { QDir(shm + u"live"_s).removeRecursively(); });
        QFile deadLock(shm + u"dead/instance.lock"_s), liveLock(shm + u"live/instance.lock"_s);
        QVERIFY(QDir().mkpath(shm + u"dead"_s) && QDir().mkpath(shm + u"live"_s) &&
                deadLock.open(QIODevice::WriteOnly) && liveLock.open(QIODevice::WriteOnly));
        deadLock.close();
        QCOMPARE(flock(liveLock.handle(), LOCK_EX), 0);

        QProcess nimbrel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        nimbrel.setProcessEnvironment(environment);
        nimbrel.start(app);
        QVERIFY(nimbrel.waitForStarted());
        const QString pid = QString::number(nimbrel.processId());
        const auto proc = [&](const QString &file) {
            QFile f(u"/proc/"_s + pid + u'/' + file);
            return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
        };
        const auto cacheFolders = [&] {
            return QDir(u"/dev/shm"_s)
                .entryList({u"nimbrel-cache-"_s + pid + u"-*"_s}, QDir::Dirs | QDir::Hidden);
        };
        // Waits until the handlers are in place (SIGTERM among the caught
        // signals) and the key is read (no core file from then on).
        static const QRegularExpression caught(u"SigCgt:\\s*([0-9a-f]+)"_s),
            noCore(u"Max core file size +0 +0 "_s);
        QTRY_VERIFY_WITH_TIMEOUT(
            (caught.match(proc(u"status"_s)).captured(1).toULongLong(nullptr, 16) &
             (1ULL << (SIGTERM - 1))) &&
                proc(u"limits"_s).contains(noCore),
            15'000);
        QCOMPARE(cacheFolders().size(), 1);
        for (QDeadlineTimer storm(15'000); !storm.hasExpired() && !nimbrel.waitForFinished(10);)
            ::kill(pid_t(nimbrel.processId()), SIGTERM);
        QCOMPARE(nimbrel.state(), QProcess::NotRunning);
        QCOMPARE(nimbrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cacheFolders(), QStringList());
        QVERIFY(!QFileInfo::exists(shm + u"dead"_s) && QFileInfo::exists(shm + u"live"_s));
    }

    // Without a display the application keeps to text and ends at once: the
    // help and the version, a usage error, or the one line on standard error
    // when no Config.plist is found (no window to show the explanation in).
    void endsHeadlessWithText_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform"); // empty: no display at all
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("line"); // printed once, on standard output or error
        QTest::newRow("no Config.plist")
            << QStringList() << u"offscreen"_s << 1
            << u"Nimbrel/ResendService: Fatal error: Could not find API key in Config.plist file"_s;
        QTest::newRow("--help") << QStringList{u"--help"_s} << QString() << 0
                                << u"Verifies the interviewer's e-mail address, then watches this "
                                   "machine for the AI interview assistant Cluely and reports to "
                                   "the interviewer by e-mail."_s;
        QTest::newRow("--version")
            << QStringList{u"--version"_s} << QString() << 0 << u"Nimbrel " NIMBREL_VERSION ""_s;
        QTest::newRow("--config, no such file")
            << QStringList{u"--config"_s, u"/nonexistent/Config.plist"_s} << u"offscreen"_s << 1
            << u"Nimbrel/ResendService: Fatal error: Could not find API key in Config.plist file"_s;
        QTest::newRow("unknown option")
            << QStringList{u"--bogus"_s} << u"offscreen"_s << 2 << u"Unknown option 'bogus'."_s;
    }

    void endsHeadlessWithText()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        QFETCH(int, exitCode);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString app = dir.filePath(u"nimbrel"_s);
        QVERIFY(QFile::copy(QStringLiteral(NIMBREL_APP_PATH), app));
        // A file named by --config is the only one read, even beside a good one.
        if (arguments.contains(u"--config"_s))
            QVERIFY(QDir().mkpath(dir.filePath(u"config/nimbrel"_s)) &&
                    InboxServer::writeConfigPlist(dir.filePath(u"config/nimbrel/Config.plist"_s),
                                                  inboxKey, QUrl(u"http://127.0.0.1:9"_s)));
        QProcess nimbrel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        for (const QString &display : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            environment.remove(display);
        if (!platform.isEmpty())
            environment.insert(u"QT_QPA_PLATFORM"_s, platform);
        nimbrel.setProcessEnvironment(environment);
        nimbrel.start(app, arguments);
        QVERIFY(nimbrel.waitForFinished(15'000));
        QCOMPARE(nimbrel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(nimbrel.exitCode(), exitCode);
        const QString output =
            QString::fromUtf8(nimbrel.readAllStandardOutput() + nimbrel.readAllStandardError());
        QCOMPARE(output.split(u'\n').count(line), 1);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--application") == 0) {
        QGuiApplication app(argc, argv);
        return runApplication(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestSessionEndings test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_session_endings.moc"
