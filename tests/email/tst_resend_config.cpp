// Config.plist lookup and reading, the fatal stop (in a child process), and
// the rule for where the API key may be sent.
#include "ResendConfig.h"
#include "ResendEndpoint.h"

#include <QTemporaryDir>
#include <QtTest>

#include <plist/plist.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

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

private slots:
    void readsXmlAndBinaryPropertyLists()
    {
        const QString provider = QString::fromLatin1(defaultResendBaseUrl);
        const QByteArray base = "<key>ResendAPIBaseURL</key>";
        const std::pair<QByteArray, QStringList> cases[] = {
            // read key and base URL
            {dict("<string>ключ ✓</string><key>X</key><integer>3</integer>"),
             {u"ключ ✓"_s, provider}},
            {dict("<string/>", base + "<string>http://127.0.0.1:8025</string>"),
             {"", "http://127.0.0.1:8025"}},
            {dict("<string>k</string>", base + "<true/>"), {"k", ""}}, // an empty URL is refused
            {dict("<integer>42</integer>"), {}},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Config.plist"_s);
        for (const auto &[root, expected] : cases) {
            QVERIFY(plist(root, true).startsWith("bplist00"));
            for (const bool binary : {false, true}) {
                QVERIFY(writeFile(path, plist(root, binary)));
                const std::optional<ResendConfig> config = readResendConfig(path);
                QCOMPARE(config ? QStringList({config->apiKey, config->baseUrl}) : QStringList(),
                         expected);
            }
        }
        QVERIFY(writeFile(path, "ResendAPIKey = re_abc\n")); // not a property list at all
        QVERIFY(!readResendConfig(path));
    }

    void searchesBesideThenShareThenResources()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(u"bin"_s), beside = bin + u"/Config.plist"_s;
        QVERIFY(QDir().mkpath(beside)); // a directory of that name is not a configuration file
        QVERIFY(!findConfigPlist(bin));
        for (const QString &place : {dir.filePath(u"Resources/Config.plist"_s),
                                     dir.filePath(u"share/nimbrel/Config.plist"_s), beside}) {
            QDir().rmdir(place); // the placeholder directory, once a file goes beside
            QVERIFY(writeFile(place, plist(dict("<string>k</string>"))));
            QCOMPARE(findConfigPlist(bin), std::optional(place));
        }
    }

    void applicationStopsOrStarts()
    {
        const QByteArray key = "<string>super-secret-key-91</string>";
        const struct
        {
            QString place; // relative to the executable's directory
            QByteArray content;
            bool starts;
        } cases[] = {
            {u"missing file"_s, {}, false},
            {u"Config.plist"_s, plist("<array>" + key + "</array>"), false},
            {u"Config.plist"_s, plist("<dict><key>ResendAPIBaseURL</key>" + key + "</dict>"),
             false},
            {u"Config.plist"_s, plist(dict("<integer>7</integer>")), false},
            {u"Config.plist"_s, plist(dict(key)), true},
            {u"../share/nimbrel/Config.plist"_s, plist(dict(key), true), true},
            {u"../Resources/Config.plist"_s, plist(dict("<string/>")), true},
        };
        for (const auto &[place, content, starts] : cases) {
            QTemporaryDir dir;
            const QString probe = dir.filePath(u"bin/config_probe"_s);
            QVERIFY(QDir().mkpath(dir.filePath(u"bin"_s)));
            QVERIFY(QFile::copy(QStringLiteral(CONFIG_PROBE_PATH), probe));
            if (!content.isEmpty())
                QVERIFY(writeFile(dir.filePath("bin/" + place), content));
            QProcess child;
            child.start(probe);
            QVERIFY(child.waitForFinished(30'000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit); // no signal, so no core dump
            QCOMPARE(child.exitCode() == 0, starts);
            // Exact output, so the key cannot appear in it either.
            QCOMPARE(child.readAllStandardOutput(), QByteArray(starts ? "ready\n" : ""));
            QCOMPARE(child.readAllStandardError(),
                     QByteArray(starts ? ""
                                       : "Nimbrel/ResendService: Fatal error: Could not find API "
                                         "key in Config.plist file\n"));
        }
    }

    void keyTravelsOnlyOverHttpsOrLoopback()
    {
        const std::pair<const char *, const char *> accepted[] = {
            {"https://api.resend.com", "https://api.resend.com/emails"},
            {"https://api.resend.com/", "https://api.resend.com/emails"},
            {"https://mail.example.com/v1/", "https://mail.example.com/v1/emails"},
            {"http://127.0.0.1:8025", "http://127.0.0.1:8025/emails"},
            {"http://127.0.0.2:9", "http://127.0.0.2:9/emails"},
            {"http://[::1]:8025", "http://[::1]:8025/emails"},
            {"http://localhost:8025", "http://localhost:8025/emails"},
        };
        for (const auto &[baseUrl, endpoint] : accepted) {
            const auto result = emailsEndpoint(QString::fromLatin1(baseUrl));
            QVERIFY2(std::holds_alternative<QUrl>(result), baseUrl);
            QCOMPARE(std::get<QUrl>(result).toString(), QString::fromLatin1(endpoint));
        }
        // Plain HTTP to another machine, or anything that is not a clean base URL.
        for (const char *baseUrl :
             {"http://api.resend.com", "http://127.0.0.1.example.com", "http://10.0.0.1",
              "ftp://127.0.0.1", "api.resend.com", "", "https://user:pw@api.resend.com",
              "https://api.resend.com/?x=1"}) {
            const auto result = emailsEndpoint(QString::fromLatin1(baseUrl));
            QVERIFY2(std::holds_alternative<EmailError>(result), baseUrl);
            QCOMPARE(std::get<EmailError>(result).kind, EmailError::Kind::Misconfigured);
        }
    }
};

QTEST_GUILESS_MAIN(TestResendConfig)
#include "tst_resend_config.moc"
