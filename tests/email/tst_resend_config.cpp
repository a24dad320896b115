// Config.plist lookup and reading, the fatal stop (in a child process), and
// the rule for where the API key may be sent.
#include "ResendConfig.h"
#include "ResendEndpoint.h"

#include <QTemporaryDir>
#include <QtTest>

#include <plist/plist.h>

#include <cstdlib>

namespace {

const QString secretKey = QStringLiteral("super-secret-key-91");

QByteArray xmlPlist(const QByteArray &rootContent)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + rootContent +
           "</plist>\n";
}

QByteArray dictWithKey(const QByteArray &keyValue, const QByteArray &more = {})
{
    return xmlPlist("<dict><key>ResendAPIKey</key>" + keyValue + more + "</dict>");
}

// The same property list in binary form, made with libplist.
QByteArray toBinary(const QByteArray &xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    if (root == nullptr)
        return {};
    char *data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    plist_free(root);
    const QByteArray binary(data, length);
    std::free(data);
    return binary;
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
    void readsPropertyLists_data();
    void readsPropertyLists();
    void searchesBesideThenShareThenResources();
    void applicationStopsOrStarts_data();
    void applicationStopsOrStarts();
    void keyTravelsOnlyOverHttpsOrLoopback_data();
    void keyTravelsOnlyOverHttpsOrLoopback();
};

void TestResendConfig::readsPropertyLists_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("baseUrl");
    const QString defaultBase = QString::fromLatin1(defaultResendBaseUrl);
    for (const bool binary : {false, true}) {
        const char *form = binary ? "binary" : "xml";
        QTest::addRow("%s: key", form)
            << dictWithKey("<string>re_abc</string>") << binary << true << "re_abc" << defaultBase;
        QTest::addRow("%s: empty key", form)
            << dictWithKey("<string></string>") << binary << true << "" << defaultBase;
        QTest::addRow("%s: other keys ignored", form)
            << dictWithKey("<string>ключ ✓</string>", "<key>Other</key><integer>3</integer>")
            << binary << true << "ключ ✓" << defaultBase;
        QTest::addRow("%s: base URL", form)
            << dictWithKey("<string>k</string>",
                           "<key>ResendAPIBaseURL</key><string>http://127.0.0.1:8025</string>")
            << binary << true << "k"
            << "http://127.0.0.1:8025";
        QTest::addRow("%s: base URL not a string", form)
            << dictWithKey("<string>k</string>", "<key>ResendAPIBaseURL</key><true/>") << binary
            << true << "k"
            << "";
        QTest::addRow("%s: key absent", form)
            << xmlPlist("<dict><key>Other</key><string>x</string></dict>") << binary << false << ""
            << "";
        QTest::addRow("%s: key a number", form)
            << dictWithKey("<integer>42</integer>") << binary << false << ""
            << "";
        QTest::addRow("%s: root not a dictionary", form)
            << xmlPlist("<array><string>ResendAPIKey</string><string>k</string></array>") << binary
            << false << ""
            << "";
    }
    QTest::newRow("not a property list")
        << QByteArray("ResendAPIKey = re_abc\n") << false << false << ""
        << "";
    QTest::newRow("empty file") << QByteArray() << false << false << ""
                                << "";
}

void TestResendConfig::readsPropertyLists()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, binary);
    QFETCH(bool, readable);
    QFETCH(QString, key);
    QFETCH(QString, baseUrl);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Config.plist"));
    const QByteArray bytes = binary ? toBinary(xml) : xml;
    QVERIFY(!binary || bytes.startsWith("bplist00"));
    QVERIFY(writeFile(path, bytes));

    const std::optional<ResendConfig> config = readResendConfig(path);
    QCOMPARE(config.has_value(), readable);
    if (readable) {
        QCOMPARE(config->apiKey, key);
        QCOMPARE(config->baseUrl, baseUrl);
    }
    QVERIFY(!readResendConfig(dir.filePath(QStringLiteral("missing.plist"))));
}

void TestResendConfig::searchesBesideThenShareThenResources()
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(!findConfigPlist(bin));
    // A directory of that name is not a configuration file.
    QVERIFY(QDir().mkpath(bin + QStringLiteral("/Config.plist")));

    const QStringList places{dir.filePath(QStringLiteral("Resources/Config.plist")),
                             dir.filePath(QStringLiteral("share/nimbrel/Config.plist"))};
    for (const QString &place : places) {
        QVERIFY(writeFile(place, dictWithKey("<string>k</string>")));
        QCOMPARE(findConfigPlist(bin), std::optional(place));
    }
    const QString beside = dir.filePath(QStringLiteral("Config.plist"));
    QVERIFY(writeFile(beside, dictWithKey("<string>k</string>")));
    QCOMPARE(findConfigPlist(dir.path()), std::optional(beside));
}

void TestResendConfig::applicationStopsOrStarts_data()
{
    QTest::addColumn<QString>("place"); // relative to the executable's directory
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QByteArray>("sendOutcome"); // when set, the probe sends once and prints this
    const QByteArray key = "<string>" + secretKey.toUtf8() + "</string>";
    QTest::newRow("missing file") << "" << QByteArray() << false << QByteArray();
    QTest::newRow("not a dictionary")
        << "Config.plist" << xmlPlist("<array>" + key + "</array>") << false << QByteArray();
    QTest::newRow("key absent") << "Config.plist"
                                << xmlPlist("<dict><key>ResendAPIBaseURL</key>" + key + "</dict>")
                                << false << QByteArray();
    QTest::newRow("key a number") << "Config.plist" << dictWithKey("<integer>7</integer>") << false
                                  << QByteArray();
    QTest::newRow("xml beside") << "Config.plist" << dictWithKey(key) << true << QByteArray();
    QTest::newRow("binary in share")
        << "../share/nimbrel/Config.plist" << toBinary(dictWithKey(key)) << true << QByteArray();
    QTest::newRow("empty key in Resources")
        << "../Resources/Config.plist" << dictWithKey("<string></string>") << true << QByteArray();
    // Starts, but refuses to send the key in clear text to another machine.
    QTest::newRow("plain http elsewhere")
        << "Config.plist"
        << dictWithKey(key, "<key>ResendAPIBaseURL</key><string>http://example.com</string>")
        << true << QByteArray("sent 0 The e-mail API address");
}

void TestResendConfig::applicationStopsOrStarts()
{
    QFETCH(QString, place);
    QFETCH(QByteArray, content);
    QFETCH(bool, starts);
    QFETCH(QByteArray, sendOutcome);
    QTemporaryDir dir;
    const QString probe = dir.filePath(QStringLiteral("bin/config_probe"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
    QVERIFY(QFile::copy(QStringLiteral(CONFIG_PROBE_PATH), probe));
    if (!place.isEmpty())
        QVERIFY(writeFile(dir.filePath(QStringLiteral("bin/") + place), content));

    QProcess child;
    child.start(probe, sendOutcome.isEmpty() ? QStringList() : QStringList{"--send"});
    QVERIFY(child.waitForFinished(30'000));
    const QByteArray out = child.readAllStandardOutput();
    const QByteArray err = child.readAllStandardError();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit); // no signal, so no core dump
    QCOMPARE(child.exitCode() == 0, starts);
    QCOMPARE(out.contains("ready"), starts);
    if (!starts)
        QCOMPARE(err, QByteArray("Nimbrel/ResendService: Fatal error: Could not find API key in "
                                 "Config.plist file\n"));
    QVERIFY2(out.contains(sendOutcome), out.constData());
    QVERIFY(!out.contains(secretKey.toUtf8()) && !err.contains(secretKey.toUtf8()));
}

void TestResendConfig::keyTravelsOnlyOverHttpsOrLoopback_data()
{
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("endpoint"); // empty: no request may be sent
    QTest::newRow("provider") << "https://api.resend.com"
                              << "https://api.resend.com/emails";
    QTest::newRow("trailing slash") << "https://api.resend.com/"
                                    << "https://api.resend.com/emails";
    QTest::newRow("path prefix") << "https://mail.example.com/v1/"
                                 << "https://mail.example.com/v1/emails";
    QTest::newRow("local inbox") << "http://127.0.0.1:8025"
                                 << "http://127.0.0.1:8025/emails";
    QTest::newRow("other loopback") << "http://127.0.0.2:9"
                                    << "http://127.0.0.2:9/emails";
    QTest::newRow("ipv6 loopback") << "http://[::1]:8025"
                                   << "http://[::1]:8025/emails";
    QTest::newRow("localhost") << "http://localhost:8025"
                               << "http://localhost:8025/emails";
    QTest::newRow("plain http elsewhere") << "http://api.resend.com"
                                          << "";
    QTest::newRow("private address") << "http://10.0.0.1:8025"
                                     << "";
    QTest::newRow("loopback-looking name") << "http://127.0.0.1.example.com"
                                           << "";
    QTest::newRow("other scheme") << "ftp://127.0.0.1"
                                  << "";
    QTest::newRow("no scheme") << "api.resend.com"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("credentials") << "https://user:pw@api.resend.com"
                                 << "";
    QTest::newRow("query") << "https://api.resend.com/?x=1"
                           << "";
}

void TestResendConfig::keyTravelsOnlyOverHttpsOrLoopback()
{
    QFETCH(QString, baseUrl);
    QFETCH(QString, endpoint);
    const auto result = emailsEndpoint(baseUrl);
    if (endpoint.isEmpty()) {
        QVERIFY(std::holds_alternative<EmailError>(result));
        QCOMPARE(std::get<EmailError>(result).kind, EmailError::Kind::Misconfigured);
    } else {
        QVERIFY(std::holds_alternative<QUrl>(result));
        QCOMPARE(std::get<QUrl>(result).toString(), endpoint);
    }
}

QTEST_GUILESS_MAIN(TestResendConfig)
#include "tst_resend_config.moc"
