// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The real nimbrel as a native Wayland client of a headless sway compositor:
// its window carries the desktop entry's app id and is drawn, and it takes
// keys from the compositor: an address typed with wtype (the virtual-keyboard
// protocol) and Return send the verification code through the local inbox.
// The flow itself is the X11 tests' business (ui/tst_accessibility.py).
#include "HelperPrograms.h"
#include "InboxServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kApiKey = QStringLiteral("wayland-key");
const QString kInterviewer = QStringLiteral("interviewer@example.com");
constexpr uid_t kNobody = 65534; // sway refuses to run as root

// The sway window whose client is this process, or an empty object.
QJsonObject windowOf(qint64 pid)
{
    const std::optional<QByteArray> tree = run("swaymsg", {"-t", "get_tree", "--raw"});
    QList<QJsonObject> pending{QJsonDocument::fromJson(tree.value_or("{}")).object()};
    while (!pending.isEmpty()) {
        const QJsonObject node = pending.takeLast();
        if (node["pid"].toInteger() == pid)
            return node;
        for (const char *children : {"nodes", "floating_nodes"})
            for (const QJsonValue child : node[children].toArray())
                pending.append(child.toObject());
    }
    return {};
}

} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_sway;
    QProcess m_app;
    std::unique_ptr<InboxServer> m_inbox;

    // Starts sway on the headless backend with its sockets in dir; the path of
    // its Wayland socket, or empty when it cannot start here.
    QString startCompositor(const QString &dir)
    {
        QFile config(dir + "/sway.conf");
        if (!config.open(QIODevice::WriteOnly))
            return {};
        // Floating: the window keeps the size it asks for, as on a desktop.
        config.write("output HEADLESS-1 resolution 800x900\n"
                     "default_border none\n"
                     "for_window [app_id=\".*\"] floating enable\n"
                     "xwayland disable\n");
        config.close();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"})
            environment.remove(name);
        environment.insert("XDG_RUNTIME_DIR", dir);
        environment.insert("WLR_BACKENDS", "headless");
        environment.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        environment.insert("WLR_RENDERER", "pixman");
        m_sway.setProcessEnvironment(environment);
        m_sway.setProcessChannelMode(QProcess::MergedChannels);
        QStringList command{"sway", "-c", config.fileName()};
        if (geteuid() == 0) {
            if (::chown(qPrintable(dir), kNobody, kNobody) != 0)
                return {};
            command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} +
                      command;
        }
        m_sway.start(command.takeFirst(), command);
        if (!m_sway.waitForStarted())
            return {};

        const QDir sockets(dir);
        const auto ready = [&] {
            return m_sway.state() != QProcess::Running ||
                   (!sockets.entryList({"wayland-*"}, QDir::System).isEmpty() &&
                    !sockets.entryList({"sway-ipc.*"}, QDir::System).isEmpty());
        };
        if (!QTest::qWaitFor(ready, 10000) || m_sway.state() != QProcess::Running)
            return {};
        qputenv("SWAYSOCK",
                qPrintable(sockets.filePath(sockets.entryList({"sway-ipc.*"}, QDir::System)[0])));
        // An absolute WAYLAND_DISPLAY: clients need not share the compositor's runtime folder.
        const QStringList wayland = sockets.entryList({"wayland-?"}, QDir::System);
        return wayland.isEmpty() ? QString() : sockets.filePath(wayland.first());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *folder : {"compositor", "runtime", "config/nimbrel"})
            QVERIFY(QDir(m_dir.path()).mkpath(folder));
        // The compositor's user must reach its folder inside this one.
        QVERIFY(::chmod(qPrintable(m_dir.path()), 0711) == 0);
        QVERIFY(::chmod(qPrintable(m_dir.filePath("runtime")), 0700) == 0);

        if (QStandardPaths::findExecutable("sway").isEmpty())
            QSKIP("sway is not installed (scripts/install-deps installs it)");
        const QString waylandSocket = startCompositor(m_dir.filePath("compositor"));
        if (waylandSocket.isEmpty()) {
            QSKIP(qPrintable("the headless sway compositor could not start here:\n" +
                             QString::fromLocal8Bit(m_sway.readAll())));
        }
        qputenv("WAYLAND_DISPLAY", waylandSocket.toLocal8Bit()); // for grim and wtype

        m_inbox = std::make_unique<InboxServer>(InboxServer::Options{.apiKey = kApiKey});
        QVERIFY2(m_inbox->isRunning(), qPrintable(m_inbox->errorString()));
        // Found in $XDG_CONFIG_HOME/nimbrel/, as a user's own configuration.
        QVERIFY(m_inbox->writeConfigPlist(m_dir.filePath("config/nimbrel/Config.plist"), kApiKey));

        // Wayland only: with no X display to fall back to, a window means Wayland.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "wayland");
        environment.insert("WAYLAND_DISPLAY", waylandSocket);
        environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        m_app.setProcessEnvironment(environment);
        m_app.setProcessChannelMode(QProcess::ForwardedChannels);
        m_app.start(NIMBREL_APP_PATH, {});
        QVERIFY2(m_app.waitForStarted(), qPrintable(m_app.errorString()));
    }

    void cleanupTestCase()
    {
        for (QProcess *process : {&m_app, &m_sway}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    // Sway maps a window, and lists it, only once its client has drawn a frame.
    void windowAppearsWithItsAppIdAndIsDrawn()
    {
        QJsonObject window;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         window = windowOf(m_app.processId());
                         return !window.isEmpty() || m_app.state() != QProcess::Running;
                     },
                     15000),
                 "no window of the application appeared");
        QCOMPARE(window["app_id"].toString(), QStringLiteral(NIMBREL_APP_ID));
        QCOMPARE(window["name"].toString(), QStringLiteral("Nimbrel"));
        QVERIFY(window["visible"].toBool() && window["focused"].toBool());
        QVERIFY(QDir().mkpath(NIMBREL_E2E_SCREENSHOTS));
        QVERIFY(run("grim", {NIMBREL_E2E_SCREENSHOTS "/wayland-verification-screen.png"}));
    }

    // Each wtype run hands the compositor a fresh keymap, and keys that arrive
    // before the window has taken it up are dropped (the first one at rest,
    // more on a busy machine); nothing tells when it has. A lost Ctrl alone
    // would type an "a" into the address and send the code elsewhere, so the
    // field is selected a second time after a pause, then the address typed
    // whole with Return, until its e-mail arrives.
    void keysFromTheCompositorSendTheCode()
    {
        const auto sent = [&] { return !m_inbox->emails().isEmpty(); };
        const QStringList selectAll{"-M", "ctrl", "a", "-m", "ctrl"};
        for (int attempt = 0; attempt < 4 && !sent(); ++attempt) {
            QVERIFY(run("wtype", QStringList{"-d", "20"} + selectAll + QStringList{"-s", "300"} +
                                     selectAll + QStringList{kInterviewer, "-k", "Return"}));
            if (!QTest::qWaitFor(sent, 10000))
                qInfo("keys were lost on try %d; typing the address again", attempt + 1);
        }
        QVERIFY2(sent(), "no verification e-mail");
        QCOMPARE(m_inbox->emails().first()["to"][0].toString(), kInterviewer);
        QCOMPARE(m_inbox->emails().first()["subject"].toString(), "Nimbrel Verification Code");
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
