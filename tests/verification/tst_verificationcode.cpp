#include "VerificationCode.h"

#include <QList>
#include <QTest>

#include <array>
#include <cmath>

namespace {

// Hands out the given words in order and counts how many were taken.
struct WordScript
{
    QList<quint32> words;
    int taken = 0;

    quint32 operator()() { return words.at(taken++); }
};

// Upper critical value of the chi-square distribution for a tail probability of
// about one in a million (Wilson-Hilferty), so a sound generator fails this
// check about once in a million runs while a biased one fails every time.
double chiSquareLimit(int degreesOfFreedom)
{
    const double k = degreesOfFreedom;
    const double z = 4.753; // standard normal quantile for 1e-6
    const double t = 1.0 - 2.0 / (9.0 * k) + z * std::sqrt(2.0 / (9.0 * k));
    return k * t * t * t;
}

template <std::size_t N> double chiSquare(const std::array<qint64, N> &counts, double expected)
{
    double sum = 0;
    for (const qint64 count : counts)
        sum += (count - expected) * (count - expected) / expected;
    return sum;
}

} // namespace

class TestVerificationCode : public QObject
{
    Q_OBJECT

private slots:
    // Words map onto the whole code range, wrapping every 900000 words.
    void mapsWordsOntoTheCodeRange_data()
    {
        QTest::addColumn<quint32>("word");
        QTest::addColumn<quint32>("code");
        QTest::newRow("zero") << 0u << 100000u;
        QTest::newRow("last of the first block") << 899999u << 999999u;
        QTest::newRow("first of the second block") << 900000u << 100000u;
        QTest::newRow("inside the second block") << 1234567u << 434567u;
    }
    void mapsWordsOntoTheCodeRange()
    {
        QFETCH(quint32, word);
        QFETCH(quint32, code);
        WordScript script{{word}};
        QCOMPARE(VerificationCode::fromWords(std::ref(script)), code);
        QCOMPARE(script.taken, 1);
    }

    // The words of the incomplete block at the top of 2^32 would make the lowest
    // codes more likely; they must be drawn again, and the last word of the
    // last complete block must not be.
    void rejectsTheIncompleteTopBlock()
    {
        const quint64 completeBlocks = (quint64(1) << 32) / VerificationCode::span;
        const quint32 firstRejected = quint32(completeBlocks * VerificationCode::span);

        WordScript rejectedTwice{{0xFFFFFFFFu, firstRejected, 7u}};
        QCOMPARE(VerificationCode::fromWords(std::ref(rejectedTwice)), 100007u);
        QCOMPARE(rejectedTwice.taken, 3);

        WordScript lastAccepted{{firstRejected - 1}};
        QCOMPARE(VerificationCode::fromWords(std::ref(lastAccepted)), 999999u);
        QCOMPARE(lastAccepted.taken, 1);
    }

    // A million codes from the system source: always six digits with no leading
    // zero, the whole range reached, and leading digit, last digit and the
    // range in 900 bands each spread evenly.
    void millionSystemCodesAreUniform()
    {
        constexpr int draws = 1'000'000;
        std::array<qint64, 9> leading{};
        std::array<qint64, 10> last{};
        std::array<qint64, 900> bands{};
        quint32 lowestSeen = UINT32_MAX;
        quint32 highestSeen = 0;

        for (int i = 0; i < draws; ++i) {
            const QString code = VerificationCode::generate();
            bool isNumber = false;
            const quint32 value = code.toUInt(&isNumber);
            if (code.size() != 6 || !isNumber || code.front() == u'0' || value < 100000 ||
                value > 999999)
                QFAIL(qPrintable(QStringLiteral("not a six-digit code: \"%1\"").arg(code)));
            ++leading[code.front().digitValue() - 1];
            ++last[code.back().digitValue()];
            ++bands[(value - 100000) / 1000];
            lowestSeen = std::min(lowestSeen, value);
            highestSeen = std::max(highestSeen, value);
        }

        // Missing either end of the range by more than 100 has odds near e^-111.
        QVERIFY2(lowestSeen < 100100, qPrintable(QString::number(lowestSeen)));
        QVERIFY2(highestSeen > 999899, qPrintable(QString::number(highestSeen)));

        const double leadingChi = chiSquare(leading, draws / 9.0);
        const double lastChi = chiSquare(last, draws / 10.0);
        const double bandChi = chiSquare(bands, draws / 900.0);
        qInfo("chi-square: leading digit %.1f (limit %.1f), last digit %.1f (limit %.1f), "
              "900 bands %.1f (limit %.1f)",
              leadingChi, chiSquareLimit(8), lastChi, chiSquareLimit(9), bandChi,
              chiSquareLimit(899));
        QVERIFY(leadingChi < chiSquareLimit(8));
        QVERIFY(lastChi < chiSquareLimit(9));
        QVERIFY(bandChi < chiSquareLimit(899));
    }
};

QTEST_GUILESS_MAIN(TestVerificationCode)
#include "tst_verificationcode.moc"
