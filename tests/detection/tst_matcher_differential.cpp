// The single-pass matcher against the literal 8,000-spelling matcher.

#include "GeneratedNames.h"
#include "SuspiciousNameMatcher.h"
#include "reference/ReferenceMatcher.h"

#include <QTest>
#include <QtConcurrent>

#include <numeric>

namespace {

constexpr int chunkCount = 100;
constexpr int namesPerChunk = 10'000;

struct ChunkResult
{
    int suspicious = 0;
    int lookalikeOnly = 0;
    QString disagreement; // first name the matchers disagree on, as code units
};

QString codeUnits(const QString &text)
{
    QStringList units;
    for (QChar c : text)
        units.append(QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper());
    return units.join(u' ');
}

// Each chunk has its own seed, so a failure can be replayed alone.
ChunkResult compareChunk(int chunk, const QStringList &candidates)
{
    ChunkResult result;
    GeneratedNames names(20261206u + quint32(chunk));
    for (int i = 0; i < namesPerChunk; ++i) {
        const QString name = names.next();
        const QString lower = name.toLower();
        const bool referenceLookalike = referenceContainsLookalikeForm(lower, candidates);
        const bool referenceSuspicious = referenceHoldsWrittenForm(lower) || referenceLookalike ||
                                         referenceHoldsEncodedForm(name);
        if (containsLookalikeForm(lower) != referenceLookalike) {
            result.disagreement = QStringLiteral("look-alike test on ") + codeUnits(lower);
            break;
        }
        if (isSuspiciousName(name) != referenceSuspicious) {
            result.disagreement = QStringLiteral("matcher on ") + codeUnits(name);
            break;
        }
        result.suspicious += referenceSuspicious;
        result.lookalikeOnly += referenceLookalike && !lower.contains(u"cluely");
    }
    return result;
}

} // namespace

class MatcherDifferentialTest : public QObject
{
    Q_OBJECT

private slots:
    void literalSpellingsAreTheExpectedOnes();
    void generatedNamesGetTheReferenceAnswer();
};

void MatcherDifferentialTest::literalSpellingsAreTheExpectedOnes()
{
    const QStringList candidates = referenceLookalikeCandidates();
    QCOMPARE(candidates.size(), 8000);
    QCOMPARE(candidates.first(), QStringLiteral("cluely"));
    QCOMPARE(candidates.last(), QStringLiteral("<I\u03C5\u0454I\u00FD"));
    QCOMPARE(QSet<QString>(candidates.cbegin(), candidates.cend()).size(), 8000);
}

void MatcherDifferentialTest::generatedNamesGetTheReferenceAnswer()
{
    const QStringList candidates = referenceLookalikeCandidates();
    QList<int> chunks(chunkCount);
    std::iota(chunks.begin(), chunks.end(), 0);
    const QList<ChunkResult> results = QtConcurrent::blockingMapped(
        chunks, [&candidates](int chunk) { return compareChunk(chunk, candidates); });

    int suspicious = 0;
    int lookalikeOnly = 0;
    for (int chunk = 0; chunk < chunkCount; ++chunk) {
        const ChunkResult &result = results.at(chunk);
        if (!result.disagreement.isEmpty())
            QFAIL(qPrintable(QStringLiteral("chunk %1: ").arg(chunk) + result.disagreement));
        suspicious += result.suspicious;
        lookalikeOnly += result.lookalikeOnly;
    }
    const int total = chunkCount * namesPerChunk;
    qInfo("%d names: %d suspicious, %d of them by look-alike alone", total, suspicious,
          lookalikeOnly);
    // The generator must exercise both answers, and look-alikes in particular.
    QVERIFY(suspicious > total / 5);
    QVERIFY(total - suspicious > total / 5);
    QVERIFY(lookalikeOnly > total / 10);
}

QTEST_GUILESS_MAIN(MatcherDifferentialTest)
#include "tst_matcher_differential.moc"
