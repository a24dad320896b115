#include "DesktopEntries.h"
#include "KeyFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class DesktopEntriesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void parsesKeyFiles();
    void choosesTheTranslationForTheLocale_data();
    void choosesTheTranslationForTheLocale();
    void findsEntriesByIdInFolderOrder();
    void hiddenEntryRemovesTheSystemOne();
    void refusesIdsThatLeaveTheApplicationFolders();
    void matchesWindowClassesToEntries();
    void derivesIdsFromLauncherPaths_data();
    void derivesIdsFromLauncherPaths();
    void survivesBrokenAndHugeEntries();

private:
    QString userDir() const { return m_root.path() + u"/home"_s; }
    QString systemDir() const { return m_root.path() + u"/usr"_s; }
    QStringList dataDirs() const { return {userDir(), systemDir()}; }

    QTemporaryDir m_root;
};

void DesktopEntriesTest::init()
{
    QVERIFY(m_root.isValid());
    QDir(m_root.path()).removeRecursively();
    QDir().mkpath(m_root.path());
}

void DesktopEntriesTest::parsesKeyFiles()
{
    const KeyFile file = KeyFile::parse("# comment\n"
                                        "[Desktop Entry]\n"
                                        "Name = Spaced Out  \n"
                                        "Comment=line\\nbreak\\sand\\ttab\\\\ \\q\n"
                                        "Name=second Name is ignored\n"
                                        "no equals sign here\n"
                                        "=no key\n"
                                        "[Broken header\n"
                                        "Orphan=lost\n"
                                        "[Other]\n"
                                        "Key=other\n"
                                        "[Desktop Entry]\n"
                                        "Late=duplicate group ignored\n");
    QCOMPARE(file.value(u"Desktop Entry"_s, u"Name"_s), u"Spaced Out"_s);
    QCOMPARE(file.value(u"Desktop Entry"_s, u"Comment"_s), u"line\nbreak and\ttab\\ \\q"_s);
    QCOMPARE(file.value(u"Desktop Entry"_s, u"Late"_s), QString());
    QCOMPARE(file.value(u"Desktop Entry"_s, u"Orphan"_s), QString());
    QCOMPARE(file.value(u"Broken header"_s, u"Orphan"_s), QString());
    QCOMPARE(file.value(u"Other"_s, u"Key"_s), u"other"_s);
    QVERIFY(file.hasGroup(u"Other"_s));
    QVERIFY(!file.hasGroup(u"Missing"_s));

    // A file cut short loses its cut last line rather than keeping half a value.
    const KeyFile cut = KeyFile::parse("[G]\nWhole=yes\nHalf=val", true);
    QCOMPARE(cut.value(u"G"_s, u"Whole"_s), u"yes"_s);
    QCOMPARE(cut.value(u"G"_s, u"Half"_s), QString());
}

void DesktopEntriesTest::choosesTheTranslationForTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("name");
    QTest::newRow("country and modifier") << "sr_RS.UTF-8@latin"
                                          << "Sr RS latin";
    QTest::newRow("country") << "sr_RS.UTF-8"
                             << "Sr RS";
    QTest::newRow("language and modifier") << "sr_ME@latin"
                                           << "Sr latin";
    QTest::newRow("language only") << "sr_ME.UTF-8"
                                   << "Sr";
    QTest::newRow("other language") << "fr_FR.UTF-8"
                                    << "Plain";
    QTest::newRow("C locale") << "C.UTF-8"
                              << "Plain";
    QTest::newRow("empty translation falls back") << "de_DE"
                                                  << "Plain";
    QTest::newRow("no locale") << ""
                               << "Plain";
}

void DesktopEntriesTest::choosesTheTranslationForTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, name);
    writeFile(systemDir() + u"/applications/org.example.Viewer.desktop"_s,
              "[Desktop Entry]\nType=Application\n"
              "Name[sr_RS@latin]=Sr RS latin\nName[sr_RS]=Sr RS\nName[sr@latin]=Sr latin\n"
              "Name[sr]=Sr\nName[de]=\nName=Plain\n");
    const DesktopEntries entries(dataDirs(), locale);
    const auto entry = entries.find(u"org.example.Viewer"_s);
    QVERIFY(entry);
    QCOMPARE(entry->name, name);
    QCOMPARE(entry->id, u"org.example.Viewer"_s);
}

void DesktopEntriesTest::findsEntriesByIdInFolderOrder()
{
    writeFile(systemDir() + u"/applications/com.example.Tool.desktop"_s,
              "[Desktop Entry]\nName=System Tool\n");
    writeFile(userDir() + u"/applications/com.example.Tool.desktop"_s,
              "[Desktop Entry]\nName=User Tool\n");
    writeFile(systemDir() + u"/applications/kde4/kate.desktop"_s, "[Desktop Entry]\nName=Kate\n");
    writeFile(systemDir() + u"/applications/notanentry.desktop"_s, "[Something Else]\nName=No\n");

    const DesktopEntries entries(dataDirs(), {});
    QCOMPARE(entries.find(u"com.example.Tool"_s)->name, u"User Tool"_s);
    QCOMPARE(entries.find(u"kde4-kate"_s)->name, u"Kate"_s); // subfolders join with '-'
    QVERIFY(!entries.find(u"notanentry"_s));
    QVERIFY(!entries.find(u"missing"_s));
    QVERIFY(!entries.find(QString()));
}

void DesktopEntriesTest::hiddenEntryRemovesTheSystemOne()
{
    writeFile(systemDir() + u"/applications/org.example.Gone.desktop"_s,
              "[Desktop Entry]\nName=Gone\n");
    writeFile(userDir() + u"/applications/org.example.Gone.desktop"_s,
              "[Desktop Entry]\nHidden=true\n");
    QVERIFY(!DesktopEntries(dataDirs(), {}).find(u"org.example.Gone"_s));
}

void DesktopEntriesTest::refusesIdsThatLeaveTheApplicationFolders()
{
    // Identifiers come from window properties any program can set.
    writeFile(systemDir() + u"/secret.desktop"_s, "[Desktop Entry]\nName=Secret\n");
    writeFile(systemDir() + u"/applications/sub/inner.desktop"_s, "[Desktop Entry]\nName=Inner\n");
    const DesktopEntries entries(dataDirs(), {});
    QVERIFY(!entries.find(u"../secret"_s));
    QVERIFY(!entries.find(u"sub/inner"_s));
    QVERIFY(!entries.find(u".."_s));
    QVERIFY(!entries.find(QString(300, u'a')));
    QCOMPARE(entries.find(u"sub-inner"_s)->name, u"Inner"_s);
}

void DesktopEntriesTest::matchesWindowClassesToEntries()
{
    writeFile(systemDir() + u"/applications/google-chrome.desktop"_s,
              "[Desktop Entry]\nName=Google Chrome\n");
    writeFile(systemDir() + u"/applications/org.example.Editor.desktop"_s,
              "[Desktop Entry]\nName=Editor\nStartupWMClass=ExampleEdit\n");
    writeFile(userDir() + u"/applications/first.desktop"_s,
              "[Desktop Entry]\nName=First\nStartupWMClass=Shared\n");
    writeFile(systemDir() + u"/applications/second.desktop"_s,
              "[Desktop Entry]\nName=Second\nStartupWMClass=Shared\n");
    const DesktopEntries entries(dataDirs(), {});

    QCOMPARE(entries.findForWindowClass(u"Google-chrome"_s, u"google-chrome"_s)->id,
             u"google-chrome"_s);
    QCOMPARE(entries.findForWindowClass(u"ExampleEdit"_s, u"exampleedit"_s)->id,
             u"org.example.Editor"_s);
    QCOMPARE(entries.findForWindowClass(u"Shared"_s, {})->id, u"first"_s);
    QVERIFY(!entries.findForWindowClass(u"Cluely"_s, u"cluely"_s));
    QVERIFY(!entries.findForWindowClass({}, {}));
}

void DesktopEntriesTest::derivesIdsFromLauncherPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("id");
    QTest::newRow("system") << "/usr/share/applications/org.gnome.Nautilus.desktop"
                            << "org.gnome.Nautilus";
    QTest::newRow("subfolder") << "/usr/share/applications/kde4/kate.desktop"
                               << "kde4-kate";
    QTest::newRow("outside applications") << "/opt/tool/tool.desktop"
                                          << "tool";
    QTest::newRow("bare id") << "com.example.Tool"
                             << "com.example.Tool";
    QTest::newRow("empty") << ""
                           << "";
}

void DesktopEntriesTest::derivesIdsFromLauncherPaths()
{
    QFETCH(QString, path);
    QFETCH(QString, id);
    QCOMPARE(DesktopEntries::idFromPath(path), id);
}

void DesktopEntriesTest::survivesBrokenAndHugeEntries()
{
    QByteArray huge = "[Desktop Entry]\nName=Huge\n";
    while (huge.size() < 3 * 1024 * 1024)
        huge += "Comment[xx]=" + QByteArray(1000, 'x') + '\n';
    writeFile(systemDir() + u"/applications/huge.desktop"_s, huge);
    writeFile(systemDir() + u"/applications/binary.desktop"_s,
              QByteArray("\x00\xff\xfe[Desktop Entry]\x00Name=\xff", 25));
    writeFile(systemDir() + u"/applications/empty.desktop"_s, {});
    QDir().mkpath(systemDir() + u"/applications/folder.desktop"_s);

    const DesktopEntries entries(dataDirs(), {});
    QCOMPARE(entries.find(u"huge"_s)->name, u"Huge"_s); // the head of a huge file still counts
    QVERIFY(!entries.find(u"binary"_s));
    QVERIFY(!entries.find(u"empty"_s));
    QVERIFY(!entries.find(u"folder"_s));
    QVERIFY(!entries.findForWindowClass(u"Anything"_s, {}));
}

QTEST_GUILESS_MAIN(DesktopEntriesTest)
#include "tst_desktopentries.moc"
