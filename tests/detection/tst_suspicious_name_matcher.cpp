// The name matcher's answers: written forms, look-alikes, encoded forms,
// Unicode case and canonical equivalence, and hostile input.

#include "CanonicalText.h"
#include "SuspiciousNameMatcher.h"

#include <QTest>

class SuspiciousNameMatcherTest : public QObject
{
    Q_OBJECT

private slots:
    void answers()
    {
        // Hostile input: very long names, runs that are slow to normalise.
        const QString million(1'000'000, u'a');
        QString marks; // combining classes 220 and 230, out of order
        for (int i = 0; i < 200'000; ++i)
            marks.append(QChar(i % 2 ? 0x0316 : 0x0300));
        const QString tibetan(200'000, QChar(0x0F73));  // decomposes into two combining marks
        const QString hangul(1'000'000, QChar(0xD55C)); // a syllable of three jamo
        const QString accented(1'000'000, QChar(0x00E9));
        const QString dottedCapitals(1'000'000, QChar(0x0130)); // lowercases to two characters

        const QStringList suspicious = {
            // Written forms, after lowercasing.
            u"/opt/CLUELY Helper.bin"_qs, u"C1UELY"_qs, u"cluelly"_qs, u"Cluly Agent"_qs,
            u"ylEulc"_qs,
            u"xclueli"_qs, // i for y is no look-alike
            // Look-alikes, after lowercasing, in either canonical form.
            u"cIuely"_qs, u"c|u3ly"_qs, u"(l\u03C5\u0454l\u03B3"_qs, u"CLU\u0395LY"_qs,
            u"{IVEI\u0178"_qs, u"[1v3iy\u0301"_qs, u"(((l(lue1\u03B3"_qs,
            // Base64 as written, hexadecimal in any case.
            u"run-Y2x1ZWx5-now"_qs, u"636c75656c79"_qs, u"x636C75656C79x"_qs,
            // NUL, lone surrogates, invalid UTF-8, long and slow to normalise.
            u"\0cluely"_qs, QChar(0xD800) + u"cluely"_qs,
            QString::fromUtf8("\xff\xfe\x63\x31uely\xc0"), million + u"c|u3ly"_qs,
            u"a"_qs + marks + u"cluely"_qs, u"(1u3i"_qs + tibetan + u"C1UELY"_qs,
            accented + u"(1u3i\u00FF"_qs + accented, hangul + u"Y2x1ZWx5"_qs,
            dottedCapitals + u"636C75656C79"_qs};
        const QStringList innocent = {
            // Letters that only resemble: y with dot below, dotted capital I
            // (lowercases to i and a mark), Cyrillic es and ie.
            u"cluely\u0323"_qs, u"C\u0130UELY"_qs, u"\u0441luely"_qs, u"clu\u0435ly"_qs,
            // Base64 in another case, hexadecimal one digit off.
            u"y2x1zwx5"_qs, u"Y2X1ZWX5"_qs, u"636c75656c78"_qs,
            // Near misses and hostile input.
            QString(), u"clue ly"_qs, u"cluedo"_qs, u"clu\0ely"_qs,
            u"clu"_qs + QChar(0xDC00) + u"ely"_qs, million, u"clu"_qs + marks + u"ely"_qs,
            accented + hangul + tibetan + dottedCapitals};
        for (const QString &name : suspicious)
            QVERIFY2(isSuspiciousName(name), qPrintable(name.left(40)));
        for (const QString &name : innocent)
            QVERIFY2(!isSuspiciousName(name), qPrintable(name.left(40)));
    }

    // Long texts are lowercased and normalised in pieces; names of any realistic
    // shape come out exactly as whole-text conversion gives them.
    void longTextsConvertExactly()
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
};

QTEST_GUILESS_MAIN(SuspiciousNameMatcherTest)
#include "tst_suspicious_name_matcher.moc"
