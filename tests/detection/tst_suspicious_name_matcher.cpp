// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The name matcher's answers: written forms, look-alikes, names as people
// read them (skeletons), encoded forms, and hostile input.

#include "detection/names/CanonicalText.h"
#include "detection/names/NameSkeleton.h"
#include "detection/names/SuspiciousNameMatcher.h"

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
            // As read: Cyrillic es, ie, u and palochka, dotless and dotted i,
            // Greek lunate sigma and epsilon, marks over and under letters
            // (one or thousands), invisible characters, a right-to-left
            // override, full-width and mathematical letters, written forms
            // with 1 or | for l, l with a stroke, Greek capitals read as
            // shown.
            u"\u0441lu\u0435l\u0443"_qs, u"c\u04CFuely"_qs, u"c\u0131uely"_qs, u"C\u0130UELY"_qs,
            u"\u03F2lu\u03B5ly"_qs, u"clu\u0308ely"_qs, u"cluely\u0323"_qs, u"cluel\u1EF3"_qs,
            u"c\u0332l\u0332u\u0332e\u0332l\u0332y\u0332"_qs, u"clu"_qs + marks + u"ely"_qs,
            u"clu\u200Be\u00ADly"_qs, u"\u202Eyleulc\u202C.exe"_qs,
            u"\uFF23\uFF2C\uFF35\uFF25\uFF2C\uFF39"_qs,
            u"\U0001D41C\U0001D425\U0001D42E\U0001D41E\U0001D425\U0001D432"_qs, u"c|uelly"_qs,
            u"y1eu|c"_qs, u"clue\u0142y"_qs, u"\u03F9LUEL\u03A5"_qs,
            // Base64 (either alphabet) and hexadecimal of "cluely", "Cluely"
            // and "CLUELY", alone or inside longer encoded text, at any
            // alignment, also in a name that is not ASCII.
            u"run-Y2x1ZWx5-now"_qs, u"636c75656c79"_qs, u"x636C75656C79x"_qs, u"Q2x1ZWx5"_qs,
            u"436c75656c79"_qs, u"Q0xVRUxZ"_qs, u"434c55454c59"_qs, u"bXkgY2x1ZWx5IGFwcA"_qs,
            u"aGkgQ2x1ZWx5"_qs, u"/tmp/xaGkgQ2x1ZWx5"_qs, u"x6d7920436c75656c79"_qs,
            u"\u00E9/aGkgQ0xVRUxZ"_qs,
            // NUL, lone surrogates, invalid UTF-8, long and slow to normalise.
            u"\0cluely"_qs, QChar(0xD800) + u"cluely"_qs,
            QString::fromUtf8("\xff\xfe\x63\x31uely\xc0"), million + u"c|u3ly"_qs,
            u"a"_qs + marks + u"cluely"_qs, u"(1u3i"_qs + tibetan + u"C1UELY"_qs,
            accented + u"(1u3i\u00FF"_qs + accented, hangul + u"Y2x1ZWx5"_qs,
            dottedCapitals + u"636C75656C79"_qs};
        const QStringList innocent = {
            // Ordinary names in other scripts and with emoji.
            u"Stra\u00DFenbahn"_qs, u"\u00C9v\u00E9nements"_qs,
            u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC"_qs,
            u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439"_qs, u"\u0441\u0443\u0435\u0442\u0430"_qs,
            u"\u8BB0\u4E8B\u672C"_qs, u"\u30BF\u30FC\u30DF\u30CA\u30EB"_qs, u"\U0001F600 notes"_qs,
            // Base64 in another case, hexadecimal one digit off, cut or
            // shifted by a half byte.
            u"y2x1zwx5"_qs, u"Y2X1ZWX5"_qs, u"636c75656c78"_qs, u"Y2x1ZWx"_qs, u"36c75656c79"_qs,
            // Near misses and hostile input.
            QString(), u"clue ly"_qs, u"cluedo"_qs, u"clu\0ely"_qs,
            u"clu"_qs + QChar(0xDC00) + u"ely"_qs, million, marks,
            accented + hangul + tibetan + dottedCapitals};
        for (const QString &name : suspicious)
            QVERIFY2(isSuspiciousName(name), qPrintable(name.left(40)));
        for (const QString &name : innocent)
            QVERIFY2(!isSuspiciousName(name), qPrintable(name.left(40)));
    }

    // What the scan pass reads names as: case folded, marks and invisible
    // characters gone, confusables at their prototypes.
    void skeletons()
    {
        const std::pair<QString, QString> rows[] = {
            {u"\u0441lu\u0435l\u0443"_qs, u"cluely"_qs},
            {u"\uFF2B\u0435\u0443L\u043Egg\u0435r"_qs, u"keylogger"_qs},
            {u"Z\u0332o\u0332o\u0332m\u200BHelper"_qs, u"zoornhelper"_qs},
            {u"\u202Eloot\u202C"_qs, u"loot"_qs},
            {u"Stra\u00DFe"_qs, u"strasse"_qs},
            {u"\u65E5\u672C\u8A9E"_qs, u"\u65E5\u672C\u8A9E"_qs},
        };
        for (const auto &[name, skeleton] : rows)
            QCOMPARE(nameSkeleton(name), skeleton);
    }

    // Long texts, which Qt normalises in quadratic time, come out as Qt gives them.
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
        }
    }
};

QTEST_GUILESS_MAIN(SuspiciousNameMatcherTest)
#include "tst_suspicious_name_matcher.moc"
