// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Config.plist lookup and reading, the fatal stop (in a child process), and
// the rule for where the API key may be sent.
#include "ResendConfig.h"
#include "ResendEndpoint.h"
#include "ResendService.h"

#include <QTemporaryDir>
#include <QtTest>

#include <plist/plist.h>

#include <cstdlib>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray missingKeyMessage =
    "Nimbrel/ResendService: Fatal error: Could not find API key in Config.plist file\n";

// An XML property list around root, or the same list in binary form.
QByteArray plist(const QByteArray &root, bool binary = false)
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + root + "</plist>\n";
    if (!binary)
        return xml;
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    char *data = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &data, &length);
    plist_free(node);
    const QByteArray bytes(data, length);
    std::free(data);
    return bytes;
}

QByteArray dict(const QByteArray &keyValue, const QByteArray &more = {})
{
    return "<dict><key>ResendAPIKey</key>" + keyValue + more + "</dict>";
}

// A binary list whose key string holds a NUL. libplist's writer cannot make
// one, so a code unit of a UTF-16 string (binary lists keep non-ASCII text in
// UTF-16) is patched to U+0000.
QByteArray binaryKeyWithNul()
{
    QByteArray bytes = plist(dict(u"<string>sécret</string>"_s.toUtf8()), true);
    const QByteArray utf16 = QByteArrayView("\0s\0\xe9", 4).toByteArray();
    const qsizetype at = bytes.indexOf(utf16);
    bytes[at + 2] = bytes[at + 3] = '\0';
    return bytes;
}

// A binary list with an ASCII string "ab#cd" in root whose '#' is patched to NUL.
QByteArray binaryAsciiWithNul(const QByteArray &root)
{
    QByteArray bytes = plist(root, true);
    bytes[bytes.indexOf("ab#cd") + 2] = '\0';
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestResendConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir m_emptyUserConfig;

private slots:
    void initTestCase()
    {
        // Only the places a case fills may hold a Config.plist.
        qputenv("XDG_CONFIG_HOME", m_emptyUserConfig.path().toUtf8());
        QVERIFY2(!QFileInfo::exists(u"/etc/nimbrel/Config.plist"_s),
                 "this test needs a machine without /etc/nimbrel/Config.plist");
    }

    // Each layout is found and read in-process, and by a copy of this program
    // standing in for the application, which must start or stop with the one
    // message (exact output, so never the key). A valid decoy in a later place
    // must lose to the file found first; a directory named Config.plist is not
    // a file.
    void findsAndReadsConfigPlistOrStops()
    {
        const QString provider = QString::fromLatin1(defaultResendBaseUrl);
        const QByteArray key = "<string>secret-91</string>", base = "<key>ResendAPIBaseURL</key>";
        QVERIFY(plist(dict(key), true).startsWith("bplist00"));
        const struct
        {
            const char *place; // relative to the executable's directory
            QByteArray content;
            QStringList read; // key and base URL; empty when the application must stop
        } cases[] = {
            {nullptr, {}, {}},
            {"Config.plist", plist("<array>" + key + "</array>"), {}},
            {"Config.plist", plist("<dict>" + base + key + "</dict>"), {}},
            {"Config.plist", plist(dict("<integer>7</integer>")), {}},
            {"Config.plist", "ResendAPIKey = " + key, {}},
            {"Config.plist", plist(dict(key, "<key>X</key><true/>")), {"secret-91", provider}},
            {"../share/nimbrel/Config.plist",
             plist(dict("<string/>", base + "<string>http://[::1]:8025</string>"), true),
             {"", "http://[::1]:8025"}},
            // A base URL that is not a string reads as empty, which no send accepts.
            {"../Resources/Config.plist",
             plist(dict("<string>ключ ✓</string>", base + "<true/>")),
             {u"ключ ✓"_s, ""}},
        };
        for (const auto &[place, content, read] : cases) {
            QTemporaryDir dir;
            const QString bin = dir.filePath(u"bin"_s), app = bin + u"/app"_s;
            QVERIFY(QDir().mkpath(bin) &&
                    QFile::copy(QCoreApplication::applicationFilePath(), app));
            QVERIFY(place ? writeFile(bin + '/' + place, content)
                          : QDir().mkpath(bin + u"/Config.plist"_s));
            if (place && !QByteArray(place).startsWith("../Resources"))
                QVERIFY(writeFile(dir.filePath(place[0] == '.' ? u"Resources/Config.plist"_s
                                                               : u"share/nimbrel/Config.plist"_s),
                                  plist(dict("<string>decoy</string>"))));
            const auto config = readResendConfig(findConfigPlist(bin).value_or(QString()));
            QCOMPARE(config ? QStringList({config->apiKey, config->baseUrl}) : QStringList(), read);

            QProcess child;
            child.start(app, {u"--as-application"_s});
            QVERIFY(child.waitForFinished(30'000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit); // no signal, so no core dump
            QCOMPARE(child.exitCode() == 0, !read.isEmpty());
            // Holding the key, it can be neither dumped nor attached to.
            QCOMPARE(child.readAllStandardOutput(), read.isEmpty() ? "" : "ready, dumpable 0\n");
            QCOMPARE(child.readAllStandardError(), read.isEmpty() ? missingKeyMessage : "");
        }
    }

    // Files a candidate can plant: each must end in the one message and status 1,
    // quickly and without a crash, whatever libplist or the file system reports.
    // The child reads the file beside it directly first, as any caller may.
    void hostileFilesStopWithTheMessage_data()
    {
        // "pagemap": a link to /proc/self/pagemap; "unreadable": a good file this user may not read
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("NUL in a binary string") << binaryKeyWithNul();
        QTest::newRow("NUL in a binary ASCII key")
            << binaryAsciiWithNul(dict("<string>ab#cd</string>"));
        QTest::newRow("NUL in a binary ASCII base URL") << binaryAsciiWithNul(
            dict("<string>k</string>", "<key>ResendAPIBaseURL</key><string>ab#cd</string>"));
        QTest::newRow("link to a /proc file of size 0") << QByteArray("pagemap");
        QTest::newRow("FIFO") << QByteArray("fifo");
        QTest::newRow("unreadable") << QByteArray("unreadable");
        QTest::newRow("over the size limit")
            << plist(dict("<string>k</string>",
                          "<key>Pad</key><string>" + QByteArray(2 << 20, 'x') + "</string>"));
    }

    void hostileFilesStopWithTheMessage()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString app = dir.filePath(u"app"_s), config = dir.filePath(u"Config.plist"_s);
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), app));
        if (content == "pagemap")
            QVERIFY(QFile::link(u"/proc/self/pagemap"_s, config));
        else if (content == "unreadable")
            QVERIFY(writeFile(config, plist(dict("<string>k</string>"))) &&
                    QFile::setPermissions(config, {}) &&
                    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                          QFile::ExeGroup | QFile::ExeOther));
        else
            QVERIFY(content == "fifo" ? mkfifo(qPrintable(config), 0600) == 0
                                      : writeFile(config, content));
        QProcess child;
        const bool unreadable = content == "unreadable";
        child.setChildProcessModifier([unreadable] {
            // Root reads any file: the child becomes nobody.
            if (unreadable && geteuid() == 0 &&
                (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))
                _exit(99);
#ifndef __SANITIZE_ADDRESS__
            // A reader without a bound would take gigabytes before failing.
            const rlimit limit{1u << 30, 1u << 30};
            setrlimit(RLIMIT_AS, &limit);
#endif
        });
        child.start(app, {u"--as-application"_s});
        QVERIFY(child.waitForFinished(30'000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        const QByteArray errors = child.readAllStandardError();
        QVERIFY2(errors.endsWith(missingKeyMessage) && (errors == missingKeyMessage) != unreadable,
                 errors);
        // A file it may not read is named first, with the way to share one.
        if (unreadable)
            QVERIFY2(errors.startsWith("nimbrel.email: " + config.toUtf8() +
                                       " cannot be read by this user (permission denied). A "
                                       "Config.plist shared by several users belongs to root "
                                       "and the group nimbrel, mode 0640"),
                     errors);
    }

    // After the application's own places: the user's configuration folder
    // ($XDG_CONFIG_HOME, else ~/.config), then the system's.
    void looksInUserThenSystemFolders()
    {
        QTemporaryDir dir;
        const QString xdg = dir.filePath(u"xdg"_s), bin = dir.filePath(u"bin"_s);
        const QStringList own = configPlistCandidates(bin).mid(0, 3);
        QCOMPARE(own.last(), dir.filePath(u"Resources/Config.plist"_s));
        const auto restore =
            qScopeGuard([home = qgetenv("HOME"), old = qgetenv("XDG_CONFIG_HOME")] {
                qputenv("HOME", home);
                qputenv("XDG_CONFIG_HOME", old);
            });
        qputenv("HOME", dir.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(configPlistCandidates(bin),
                 own + QStringList({dir.filePath(u".config/nimbrel/Config.plist"_s),
                                    u"/etc/nimbrel/Config.plist"_s}));
        qputenv("XDG_CONFIG_HOME", xdg.toUtf8());
        QCOMPARE(configPlistCandidates(bin), own + QStringList({xdg + u"/nimbrel/Config.plist"_s,
                                                                u"/etc/nimbrel/Config.plist"_s}));
        // Installed, only those two.
        QCOMPARE(configPlistCandidates(installedBinDir()), configPlistCandidates(bin).mid(3));

        // There the user's file is found. (The application finding it: tst_wayland.)
        QVERIFY(
            writeFile(xdg + u"/nimbrel/Config.plist"_s, plist(dict("<string>user-key</string>"))));
        QCOMPARE(readResendConfig(*findConfigPlist(bin))->apiKey, u"user-key"_s);
    }

    // SenderAddress and StatusEmailMinutes are optional; a value that cannot be
    // used stops the start with what is wrong, as a missing key does.
    void optionalSettings()
    {
        const QByteArray sender = "<key>SenderAddress</key>",
                         every = "<key>StatusEmailMinutes</key>";
        const std::tuple<QByteArray, QString, int, QString> cases[] = {
            // settings, SenderAddress and minutes read, or what the message names
            {{}, {}, 0, {}},
            {sender + "<string>N &lt;n@acme.example&gt;</string>" + every + "<integer>15</integer>",
             u"N <n@acme.example>"_s,
             15,
             {}},
            {sender + "<string>nimbrel</string>",
             {},
             0,
             u"SenderAddress must be an e-mail address"_s},
            {every + "<string>15</string>", {}, 0, u"StatusEmailMinutes must be an integer"_s},
            {every + "<integer>-5</integer>", {}, 0, u"StatusEmailMinutes"_s}};
        for (const auto &[settings, address, minutes, problem] : cases) {
            QTemporaryDir dir;
            const QString path = dir.filePath(u"Config.plist"_s);
            QVERIFY(writeFile(path, plist(dict("<string>k</string>", settings))));
            if (!problem.isEmpty())
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(problem));
            const auto loaded = loadResendConfig(path);
            const auto *config = std::get_if<ResendConfig>(&loaded);
            const QString text =
                config ? QString() : configProblemText(std::get<ConfigProblem>(loaded));
            QVERIFY2(config
                         ? problem.isEmpty() && config->senderAddress == address &&
                               config->statusEmailMinutes == minutes
                         : text.startsWith(path + u" cannot be used: "_s) && text.contains(problem),
                     qPrintable(text));
        }
    }

    // A relay takes the key's place, with the session's code, and never beside a key.
    void relayTakesTheKeysPlace()
    {
        const QByteArray relay = "<key>RelayURL</key><string>https://relay.example</string>",
                         code = "<key>SessionCode</key><string> K7QM-2XRD-P </string>";
        const std::pair<QByteArray, QString> cases[] = {
            // root, what the message names or "" if usable
            {"<dict>" + relay + code + "</dict>", {}},
            {"<dict>" + relay + "</dict>", u"RelayURL needs the SessionCode"_s},
            {"<dict><key>RelayURL</key><string>http://relay.example</string>" + code + "</dict>",
             u"RelayURL must be the relay's https:// address"_s},
            {dict("<string>k</string>", relay + code), u"names both ResendAPIKey and RelayURL"_s}};
        for (const auto &[root, problem] : cases) {
            QTemporaryDir dir;
            const QString path = dir.filePath(u"Config.plist"_s);
            QVERIFY(writeFile(path, plist(root)));
            if (!problem.isEmpty())
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(problem));
            const auto loaded = loadResendConfig(path);
            const auto *config = std::get_if<ResendConfig>(&loaded);
            QVERIFY2(config ? problem.isEmpty() && config->relayUrl == u"https://relay.example"_s &&
                                  config->sessionCode == u"K7QM-2XRD-P"_s
                            : configProblemText(std::get<ConfigProblem>(loaded)).contains(problem),
                     root.constData());
        }
    }

    void keyTravelsOnlyOverHttpsOrLoopback()
    {
        const std::pair<const char *, const char *> cases[] = {
            // base URL, endpoint or "" if refused
            {"https://api.resend.com", "https://api.resend.com/emails"},
            {"https://api.resend.com/", "https://api.resend.com/emails"},
            {"https://mail.example.com/v1/", "https://mail.example.com/v1/emails"},
            {"http://127.0.0.1:8025", "http://127.0.0.1:8025/emails"},
            {"http://[::1]:8025", "http://[::1]:8025/emails"},
            {"http://localhost:8025", "http://localhost:8025/emails"},
            {"http://api.resend.com", ""},
            {"http://127.0.0.1.example.com", ""},
            {"ftp://127.0.0.1", ""},
            {"api.resend.com", ""},
            {"", ""},
            {"https://api.resend.com/?x=1", ""}};
        for (const auto &[baseUrl, endpoint] : cases) {
            const auto result = emailsEndpoint(QString::fromLatin1(baseUrl));
            const auto *url = std::get_if<QUrl>(&result);
            QCOMPARE(url ? url->toString() : QString(), QString::fromLatin1(endpoint));
            QVERIFY(url || std::get<EmailError>(result).kind == EmailError::Kind::Misconfigured);
        }
    }
};

// With --as-application [FILE], builds the service as the application does
// (which may end the process); otherwise runs the tests.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(u"--as-application"_s)) {
        (void)readResendConfig(QCoreApplication::applicationDirPath() + u"/Config.plist"_s);
        const auto config = loadResendConfig(app.arguments().value(2));
        if (!std::holds_alternative<ResendConfig>(config)) {
            printMissingKeyMessage();
            return EXIT_FAILURE;
        }
        ResendService service(std::get<ResendConfig>(config));
        return std::printf("ready, dumpable %d\n", prctl(PR_GET_DUMPABLE)) < 0;
    }
    TestResendConfig test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_resend_config.moc"
