// The name matcher's answers: written forms, look-alikes, encoded forms,
// Unicode case and canonical equivalence, and hostile input.

#include "CanonicalText.h"
#include "SuspiciousNameMatcher.h"
#include "SuspiciousNamePatterns.h"

#include <QTest>

class SuspiciousNameMatcherTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void encodedFormsComeFromTheTargetWord();
    void lookalikeTestTakesTheLowercasedName();
    void hostileInputIsHandled_data();
    void hostileInputIsHandled();
    void longCombiningRunsKeepTheirMatches();
    void longTextsConvertExactly();
};

void SuspiciousNameMatcherTest::answers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("suspicious");

    // Written forms, after lowercasing.
    QTest::newRow("plain") << u"Cluely"_qs << true;
    QTest::newRow("shouting") << u"CLUELY"_qs << true;
    QTest::newRow("inside a path-like name") << u"/opt/Cluely Helper.bin"_qs << true;
    QTest::newRow("digit one, upper case") << u"C1UELY"_qs << true;
    QTest::newRow("domain") << u"www.Cluely.com"_qs << true;
    QTest::newRow("doubled l") << u"cluelly"_qs << true;
    QTest::newRow("i for y (not a look-alike)") << u"xclueli"_qs << true;
    QTest::newRow("e dropped") << u"Cluly Agent"_qs << true;
    QTest::newRow("second l as digit") << u"clue1y"_qs << true;
    QTest::newRow("backwards") << u"yleulc"_qs << true;
    QTest::newRow("backwards, mixed case") << u"ylEulc"_qs << true;
    QTest::newRow("reverse-domain prefix") << u"io.cluely.agent"_qs << true;

    // Look-alikes.
    QTest::newRow("capital I for l") << u"cIuely"_qs << true;
    QTest::newRow("bar and digit three") << u"c|u3ly"_qs << true;
    QTest::newRow("Greek and Cyrillic") << u"(l\u03C5\u0454l\u03B3"_qs << true;
    QTest::newRow("capital epsilon lowercases") << u"CLU\u0395LY"_qs << true;
    QTest::newRow("capital upsilon lowercases") << u"[L\u03A5ELY"_qs << true;
    QTest::newRow("y with diaeresis") << u"<luel\u00FF"_qs << true;
    QTest::newRow("capital Y with diaeresis lowercases") << u"{IVEI\u0178"_qs << true;
    QTest::newRow("y with acute, decomposed") << u"[1v3iy\u0301"_qs << true;
    QTest::newRow("at the very end") << u"xxxxxxxx{1\u03BC\u03B5|\u00FD"_qs << true;
    QTest::newRow("after a false start") << u"cclcluely"_qs << true;
    QTest::newRow("overlapping false start") << u"(((l(lue1\u03B3"_qs << true;

    // Encoded forms.
    QTest::newRow("Base64") << u"run-Y2x1ZWx5-now"_qs << true;
    QTest::newRow("Base64 lowercased") << u"y2x1zwx5"_qs << false;
    QTest::newRow("Base64 uppercased") << u"Y2X1ZWX5"_qs << false;
    QTest::newRow("hexadecimal") << u"636c75656c79"_qs << true;
    QTest::newRow("hexadecimal, upper case") << u"x636C75656C79x"_qs << true;
    QTest::newRow("hexadecimal, one digit off") << u"636c75656c78"_qs << false;

    // Near misses.
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("space inside") << u"clue ly"_qs << false;
    QTest::newRow("hyphen inside") << u"cl-uely"_qs << false;
    QTest::newRow("Cyrillic es for c") << u"\u0441luely"_qs << false;
    QTest::newRow("Cyrillic ie for e") << u"clu\u0435ly"_qs << false;
    QTest::newRow("five letters") << u"cluel"_qs << false;
    QTest::newRow("y with dot below composes away") << u"cluely\u0323"_qs << false;
    QTest::newRow("dotted capital I lowercases to two") << u"C\u0130UELY"_qs << false;
    QTest::newRow("ordinary desktop process") << u"gnome-shell-calendar-server"_qs << false;
    QTest::newRow("clue but no look-alike") << u"cluedo"_qs << false;
}

void SuspiciousNameMatcherTest::answers()
{
    QFETCH(QString, name);
    QFETCH(bool, suspicious);
    QCOMPARE(isSuspiciousName(name), suspicious);
}

void SuspiciousNameMatcherTest::encodedFormsComeFromTheTargetWord()
{
    QCOMPARE(cluelyBase64Form(), u"Y2x1ZWx5"_qs);
    QCOMPARE(cluelyHexForm(), u"636c75656c79"_qs);
}

void SuspiciousNameMatcherTest::lookalikeTestTakesTheLowercasedName()
{
    QVERIFY(containsLookalikeForm(u"x{1\u03BC\u03B5|\u00FDx"_qs));
    // The capital I is listed, but only ever meets lowercased names.
    QVERIFY(containsLookalikeForm(u"cIuely"_qs));
    // No lowercasing here: capitals of the Greek look-alikes are not in the table.
    QVERIFY(!containsLookalikeForm(u"clu\u0395ly"_qs));
    QVERIFY(!containsLookalikeForm(u"CLUELY"_qs));
    // Canonical equivalence: a decomposed y with diaeresis is the listed letter.
    QVERIFY(containsLookalikeForm(u"(1u3i\u0079\u0308"_qs));
    QVERIFY(!containsLookalikeForm(u"clue"_qs));
}

void SuspiciousNameMatcherTest::hostileInputIsHandled_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("suspicious");

    const QString million(1'000'000, u'a');
    QTest::newRow("NUL before the name") << QString(u"\0cluely"_qs) << true;
    QTest::newRow("NUL inside the name") << QStringLiteral("clu") + QChar(0) + u"ely"_qs << false;
    QTest::newRow("lone high surrogate before") << QString(QChar(0xD800)) + u"cluely"_qs << true;
    QTest::newRow("lone low surrogate inside") << u"clu"_qs + QChar(0xDC00) + u"ely"_qs << false;
    QTest::newRow("surrogate pair around") << u"\U0001F6A8cluely\U0001F6A8"_qs << true;
    QTest::newRow("invalid UTF-8 decoded") << QString::fromUtf8("\xff\xfe"
                                                                "c1uely\xc0")
                                           << true;
    QTest::newRow("a million characters, name at the end") << million + u"c|u3ly"_qs << true;
    QTest::newRow("a million characters, Base64 at the end") << million + u"Y2x1ZWx5"_qs << true;
    QTest::newRow("a million characters, nothing") << million << false;
    QTest::newRow("a million non-ASCII characters") << QString(1'000'000, QChar(0x03BC)) << false;
}

void SuspiciousNameMatcherTest::hostileInputIsHandled()
{
    QFETCH(QString, name);
    QFETCH(bool, suspicious);
    QCOMPARE(isSuspiciousName(name), suspicious);
}

// Qt normalises in quadratic time (long runs of combining marks, many
// characters that decompose); a scan over such a name must still finish
// and still see what surrounds it.
void SuspiciousNameMatcherTest::longCombiningRunsKeepTheirMatches()
{
    QString marks;
    for (int i = 0; i < 200'000; ++i)
        marks.append(QChar(i % 2 ? 0x0316 : 0x0300));       // classes 220 and 230, out of order
    const QString tibetan(200'000, QChar(0x0F73));          // decomposes into two combining marks
    const QString accented(1'000'000, QChar(0x00E9));       // e with acute
    const QString hangul(1'000'000, QChar(0xD55C));         // a syllable of three jamo
    const QString dottedCapitals(1'000'000, QChar(0x0130)); // lowercases to two characters

    QVERIFY(isSuspiciousName(u"a"_qs + marks + u"cluely"_qs));
    QVERIFY(isSuspiciousName(u"(1u3i"_qs + tibetan + u"C1UELY"_qs));
    QVERIFY(isSuspiciousName(accented + u"(1u3i\u00FF"_qs + accented));
    QVERIFY(isSuspiciousName(hangul + u"Y2x1ZWx5"_qs));
    QVERIFY(isSuspiciousName(dottedCapitals + u"636C75656C79"_qs));
    QVERIFY(!isSuspiciousName(u"clu"_qs + marks + u"ely"_qs));
    QVERIFY(!isSuspiciousName(tibetan));
    QVERIFY(!isSuspiciousName(accented + hangul));
}

// Long texts are lowercased and normalised in pieces; names of any realistic
// shape come out exactly as whole-text conversion gives them.
void SuspiciousNameMatcherTest::longTextsConvertExactly()
{
    const QString words[] = {u"Caf\u00E9 "_qs,          u"cafe\u0301-"_qs,
                             u"\u0391\u0301\u0345/"_qs, u"y\u0308"_qs,
                             u"\u1100\u1161\u11A8."_qs, u"\u0F73\u0F73 "_qs,
                             u"a\u0316\u0300\u0301"_qs, u"\U0001D15E\U0001D165 "_qs,
                             u"\u03B3\u0454"_qs,        u"\u0130\u03A3\u03A3 "_qs,
                             u"\U00010400x"_qs};
    for (int length : {300, 5'000}) {
        QString text;
        for (size_t i = 0; text.size() < length; ++i)
            text += words[i % std::size(words)];
        QCOMPARE(canonicalForm(text), text.normalized(QString::NormalizationForm_C));
        QCOMPARE(lowercased(text), text.toLower());
    }
}

QTEST_GUILESS_MAIN(SuspiciousNameMatcherTest)
#include "tst_suspicious_name_matcher.moc"
