// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The single-pass matcher against the literal matchers on a million generated
// names: the 8,000-spelling matcher, whose every answer it keeps, and the
// literal skeleton and decoding matcher, which gives what it adds.

#include "detection/names/SuspiciousNameMatcher.h"
#include "detection/names/SuspiciousNamePatterns.h"
#include "reference/ReferenceMatcher.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtConcurrent>

#include <atomic>
#include <numeric>

using namespace std::string_view_literals;

namespace {

// Every look-alike, their capitals (and dotted I), similar letters that are
// none or only in their skeletons, a full-width letter, combining marks,
// invisible and bidirectional controls, separators, NUL and lone surrogates.
constexpr std::u16string_view nearMisses =
    u"CLUEYVMIcluey1i|I({[<3v\u03BC\u03C5\u03B5\u0454\u03B3\u00FF\u00FD\u039C\u03A5\u0395\u0404"
    u"\u0393\u0178\u00DD\u0130\u0441\u0435\u0443\u04CF\u0131\u00E9\u00FC\u212A\u0308\u0301\u0323"
    u"\u0300\u0316\u0332\uFF43\u200B\u202E-_. /\t\u00A0\0\xD800\xDC00"sv;
constexpr std::u16string_view plainNoise = u"abcdefghijklmnopqrstuvwxyz0123456789-_.ABCXYZ";
// Base64 and hexadecimal of "cluely", "Cluely", "CLUELY" and "c1uely", and
// written forms.
constexpr std::u16string_view encodedForms[] = {
    u"Y2x1ZWx5", u"636c75656c79", u"636C75656C79", u"yleulc",   u"cluly",
    u"clueli",   u"Q2x1ZWx5",     u"436c75656c79", u"Q0xVRUxZ", u"YzF1ZWx5"};

// Mostly the target word spelled from the look-alike alphabet, each position
// right with high odds, wrapped in noise; else noise alone or an encoded form,
// sometimes with one character changed.
QString generatedName(QRandomGenerator &random)
{
    const auto pick = [&random](std::u16string_view from) {
        return QChar(from[random.bounded(qsizetype(from.size()))]);
    };
    const auto noise = [&](int maxLength) {
        QString text;
        for (int length = random.bounded(maxLength + 1); length > 0; --length)
            text.append(pick(random.bounded(4) == 0 ? nearMisses : plainNoise));
        return text;
    };
    QString name = noise(3);
    if (const int kind = random.bounded(10); kind < 7) {
        for (char16_t letter : cluelyTargetWord) {
            const int roll = random.bounded(20); // at 19 the letter is left out half the time
            if (roll < 19 || random.bounded(2) == 0)
                name.append(pick(roll < 17 ? lookalikeAlternatives(letter)
                                           : (roll < 19 ? nearMisses : plainNoise)));
        }
    } else if (kind < 9) {
        name.append(noise(12));
    } else {
        QString form = QStringView(encodedForms[random.bounded(qsizetype(std::size(encodedForms)))])
                           .toString();
        if (random.bounded(3) == 0)
            form[random.bounded(form.size())] = pick(nearMisses);
        name.append(form);
    }
    return name + noise(3);
}

} // namespace

class MatcherDifferentialTest : public QObject
{
    Q_OBJECT

private slots:
    void generatedNamesGetTheReferenceAnswer()
    {
        const QStringList candidates = referenceLookalikeCandidates();
        QCOMPARE(QSet<QString>(candidates.cbegin(), candidates.cend()).size(), 8000);
        // 100 chunks of 10,000 names, each with its own seed so a failure replays alone.
        QList<int> seeds(100);
        std::iota(seeds.begin(), seeds.end(), 20261206);
        std::atomic<int> suspiciousCount = 0;
        std::atomic<int> lookalikeOnlyCount = 0;
        std::atomic<int> readOnlyCount = 0;
        const QStringList disagreements = QtConcurrent::blockingMapped(seeds, [&](int seed) {
            QRandomGenerator random(seed);
            for (int i = 0; i < 10'000; ++i) {
                const QString name = generatedName(random);
                const QString lower = name.toLower();
                const bool lookalike = referenceContainsLookalikeForm(lower, candidates);
                const bool written = lookalike || referenceHoldsWrittenOrEncodedForm(name);
                const bool suspicious = written || referenceReadsAsForm(name);
                if (isSuspiciousName(name) != suspicious)
                    return u"seed %1, name %2: %3"_qs.arg(seed).arg(i).arg(name);
                suspiciousCount += suspicious;
                lookalikeOnlyCount += lookalike && !lower.contains(u"cluely");
                readOnlyCount += suspicious && !written;
            }
            return QString();
        });
        QCOMPARE(disagreements, QStringList(seeds.size()));

        qInfo("1,000,000 names: %d suspicious, %d by look-alike alone, %d only as read or decoded",
              suspiciousCount.load(), lookalikeOnlyCount.load(), readOnlyCount.load());
        // The generator must exercise both answers, look-alikes in particular,
        // and what reading as people do adds.
        QVERIFY(suspiciousCount > 200'000 && suspiciousCount < 800'000);
        QVERIFY(lookalikeOnlyCount > 100'000);
        QVERIFY(readOnlyCount > 20'000);
    }
};

QTEST_GUILESS_MAIN(MatcherDifferentialTest)
#include "tst_matcher_differential.moc"
