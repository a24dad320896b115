// The rules that turn raw process-table entries into distinct names.

#include "ProcessNameList.h"

#include <QTest>

class ProcessNameListTest : public QObject
{
    Q_OBJECT

private slots:
    void splitsAtEveryNewlineCharacter();
    void entryBecomesName_data();
    void entryBecomesName();
    void namesAreDistinct();
};

void ProcessNameListTest::splitsAtEveryNewlineCharacter()
{
    const QString text = u"a\nb\r\nc\rd\u2028e\u2029f\u0085g\u000Bh\u000Ci\n"_qs;
    QCOMPARE(splitProcessTableLines(text),
             QStringList({u"a"_qs, u"b"_qs, QString(), u"c"_qs, u"d"_qs, u"e"_qs, u"f"_qs, u"g"_qs,
                          u"h"_qs, u"i"_qs, QString()}));
    QCOMPARE(splitProcessTableLines(QString()), QStringList({QString()}));
    // A line separator inside a name is a split, so no name carries one.
    const QStringList names = distinctProcessNames(splitProcessTableLines(u"x\r\n\r\ny\r"_qs));
    QCOMPARE(names, QStringList({u"x"_qs, u"y"_qs}));
}

void ProcessNameListTest::entryBecomesName_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");

    QTest::newRow("blanks around a path") << u"  /usr/sbin/syslogd  "_qs << u"syslogd"_qs;
    QTest::newRow("spaces inside")
        << u"/Applications/Some App.app/Contents/MacOS/Some App"_qs << u"Some App"_qs;
    QTest::newRow("login shell") << u"-zsh"_qs << u"-zsh"_qs;
    QTest::newRow("bare name") << u"Cluely"_qs << u"Cluely"_qs;
    QTest::newRow("tab and no-break spaces") << u"\t\u00A0/opt/tool\u3000\u2009"_qs << u"tool"_qs;
    QTest::newRow("zero-width space is no blank") << u"\u200Btool"_qs << u"\u200Btool"_qs;
    QTest::newRow("trailing slash") << u"/opt/tool/"_qs << u"tool"_qs;
    QTest::newRow("several trailing slashes") << u"/opt/tool///"_qs << u"tool"_qs;
    QTest::newRow("root") << u"/"_qs << u"/"_qs;
    QTest::newRow("only slashes") << u" /// "_qs << u"/"_qs;
    QTest::newRow("blank after the last slash stays") << u"/opt/ tool"_qs << u" tool"_qs;
    QTest::newRow("kernel-style name") << u"[kworker/0:1]"_qs << u"0:1]"_qs;
    QTest::newRow("only blanks") << u" \t "_qs << QString();
    QTest::newRow("empty") << QString() << QString();
}

void ProcessNameListTest::entryBecomesName()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QCOMPARE(processNameFromEntry(entry), name);
}

void ProcessNameListTest::namesAreDistinct()
{
    const QStringList entries = {u"/a/tool"_qs, u"/b/tool"_qs,       u""_qs,
                                 u"Tool"_qs,    u"caf\u00E9"_qs,     u"/x/cafe\u0301"_qs,
                                 u"   "_qs,     u"/usr/bin/tool "_qs};
    // Case matters; canonically equivalent spellings collapse into the first.
    QCOMPARE(distinctProcessNames(entries), QStringList({u"tool"_qs, u"Tool"_qs, u"caf\u00E9"_qs}));
}

QTEST_GUILESS_MAIN(ProcessNameListTest)
#include "tst_process_name_list.moc"
