#include "CgroupApplication.h"
#include "SystemdEscape.h"

#include <QTest>

using namespace Qt::StringLiterals;

class CgroupApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    void unescapesSystemdNames_data();
    void unescapesSystemdNames();
    void readsApplicationUnits_data();
    void readsApplicationUnits();
    void readsSnapScopes_data();
    void readsSnapScopes();
    void findsTheInnermostUnitOfACgroupFile();
    void survivesMalformedAndHugeCgroupFiles();
};

void CgroupApplicationTest::unescapesSystemdNames_data()
{
    QTest::addColumn<QString>("escaped");
    QTest::addColumn<QString>("plain");
    QTest::newRow("dash") << "gnome\\x2dterminal"
                          << "gnome-terminal";
    QTest::newRow("upper-case hex") << "a\\x2Db"
                                    << "a-b";
    QTest::newRow("several") << "\\x2dx\\x2d"
                             << "-x-";
    QTest::newRow("utf-8 bytes form one character") << "caf\\xc3\\xa9" << u"café"_s;
    QTest::newRow("literal non-ascii kept") << u"café\\x2d1"_s << u"café-1"_s;
    QTest::newRow("cut escape kept") << "abc\\x2"
                                     << "abc\\x2";
    QTest::newRow("bad hex kept") << "a\\xZZb"
                                  << "a\\xZZb";
    QTest::newRow("backslash without x kept") << "a\\nb"
                                              << "a\\nb";
    QTest::newRow("invalid utf-8 replaced, not dropped") << "a\\xffb" << u"a\ufffdb"_s;
}

void CgroupApplicationTest::unescapesSystemdNames()
{
    QFETCH(QString, escaped);
    QFETCH(QString, plain);
    QCOMPARE(systemdUnescape(escaped), plain);
}

void CgroupApplicationTest::readsApplicationUnits_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("identifier"); // empty: not an application unit
    QTest::newRow("gnome scope") << "app-gnome-org.gnome.Nautilus-4711.scope"
                                 << "org.gnome.Nautilus";
    QTest::newRow("scope without launcher") << "app-org.kde.konsole-8e2b1c.scope"
                                            << "org.kde.konsole";
    QTest::newRow("flatpak scope") << "app-flatpak-org.mozilla.firefox-2203.scope"
                                   << "org.mozilla.firefox";
    QTest::newRow("escaped dash in id") << "app-gnome-gnome\\x2dterminal-12.scope"
                                        << "gnome-terminal";
    QTest::newRow("unescaped dash in id") << "app-gnome-google-chrome-12.scope"
                                          << "google-chrome";
    QTest::newRow("service with instance") << "app-gnome-com.example.Tool@3f2a.service"
                                           << "com.example.Tool";
    QTest::newRow("service without instance") << "app-kde-org.kde.kalendarac.service"
                                              << "org.kde.kalendarac";
    QTest::newRow("service without launcher") << "app-org.kde.dolphin@autostart.service"
                                              << "org.kde.dolphin";
    QTest::newRow("slice") << "app-gnome-org.gnome.Nautilus.slice"
                           << "";
    QTest::newRow("app.slice itself") << "app.slice"
                                      << "";
    QTest::newRow("session scope") << "session-2.scope"
                                   << "";
    QTest::newRow("user manager") << "user@1000.service"
                                  << "";
    QTest::newRow("scope without random part") << "app-.scope"
                                               << "";
    QTest::newRow("bare prefix") << "app-"
                                 << "";
    QTest::newRow("escaped slash is no path") << "app-gnome-a\\x2fb-1.scope"
                                              << "";
    QTest::newRow("escaped control character") << "app-gnome-a\\x0ab-1.scope"
                                               << "";
}

void CgroupApplicationTest::readsApplicationUnits()
{
    QFETCH(QString, unit);
    QFETCH(QString, identifier);
    const auto found = applicationUnit(unit);
    QCOMPARE(found.has_value(), !identifier.isEmpty());
    if (found) {
        QCOMPARE(found->identifier, identifier);
        QCOMPARE(found->unit, unit);
    }
}

void CgroupApplicationTest::readsSnapScopes_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("identifier");
    QTest::newRow("uuid after a dot")
        << "snap.firefox.firefox.1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope"
        << "firefox_firefox";
    QTest::newRow("uuid after a dash")
        << "snap.code.code-1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope"
        << "code_code";
    QTest::newRow("app name with dash") << "snap.foo.bar-baz.scope"
                                        << "foo_bar-baz";
    QTest::newRow("hook") << "snap.foo.hook.configure-1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope"
                          << "";
    QTest::newRow("service") << "snap.foo.daemon.service"
                             << "";
    QTest::newRow("no app") << "snap.foo.scope"
                            << "";
    QTest::newRow("only a uuid") << "snap.foo.-1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope"
                                 << "";
}

void CgroupApplicationTest::readsSnapScopes()
{
    QFETCH(QString, unit);
    QFETCH(QString, identifier);
    const auto found = snapUnit(unit);
    QCOMPARE(found.has_value(), !identifier.isEmpty());
    if (found)
        QCOMPARE(found->identifier, identifier);
}

void CgroupApplicationTest::findsTheInnermostUnitOfACgroupFile()
{
    // cgroup v2: one unified line.
    auto found = cgroupApplications("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                    "app-gnome-org.gnome.Nautilus-4711.scope\n");
    QVERIFY(found.systemdUnit);
    QCOMPARE(found.systemdUnit->identifier, u"org.gnome.Nautilus"_s);
    QVERIFY(!found.snap);

    // A unit nested in another app's unit belongs to the inner one.
    found = cgroupApplications("0::/user.slice/app-gnome-outer-1.scope/app-gnome-inner-2.scope\n");
    QCOMPARE(found.systemdUnit->identifier, u"inner"_s);

    // cgroup v1: the unified line, listed last, is still preferred.
    found = cgroupApplications("12:pids:/user.slice/app-gnome-from\\x2dv1-1.scope\n"
                               "1:name=systemd:/user.slice/app-gnome-from\\x2dv1-1.scope\n"
                               "0::/user.slice/app-gnome-from\\x2dv2-1.scope\n");
    QCOMPARE(found.systemdUnit->identifier, u"from-v2"_s);

    // Snap scopes are found beside systemd units.
    found = cgroupApplications("0::/user.slice/user@1000.service/app.slice/"
                               "snap.firefox.firefox.1d1f0c3e-6bd6-4e4b-9f55-0f1e3a2b4c5d.scope\n");
    QVERIFY(!found.systemdUnit);
    QCOMPARE(found.snap->identifier, u"firefox_firefox"_s);

    // A path may hold ':'; only the first two separate fields.
    found = cgroupApplications("0::/odd:dir/app-gnome-x-1.scope");
    QCOMPARE(found.systemdUnit->identifier, u"x"_s);
}

void CgroupApplicationTest::survivesMalformedAndHugeCgroupFiles()
{
    for (const QByteArray &broken :
         {QByteArray(), QByteArray("garbage"), QByteArray(":"), QByteArray("0:"), QByteArray("0::"),
          QByteArray("\n\n\n"), QByteArray("0::/app-\n"),
          QByteArray("0::/\xff\xfe\x00"
                     "app-gnome-x-1.scope",
                     26)}) {
        const auto found = cgroupApplications(broken);
        QVERIFY2(!found.systemdUnit && !found.snap, broken.constData());
    }

    // A long path of non-units with the unit deep inside still resolves.
    QByteArray deep = "0::";
    for (int i = 0; i < 5000; ++i)
        deep += "/x" + QByteArray::number(i) + ".slice";
    deep += "/app-gnome-deep-1.scope";
    QCOMPARE(cgroupApplications(deep).systemdUnit->identifier, u"deep"_s);
}

QTEST_GUILESS_MAIN(CgroupApplicationTest)
#include "tst_cgroupapplication.moc"
