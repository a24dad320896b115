#include "VerificationCode.h"

#include <QList>
#include <QTest>

#include <array>
#include <cmath>

namespace {

// Upper critical value of chi-square for a tail of about one in a million
// (Wilson-Hilferty): a sound generator fails once in a million runs, a biased
// one every time.
double chiSquareLimit(double k)
{
    const double t = 1.0 - 2.0 / (9.0 * k) + 4.753 * std::sqrt(2.0 / (9.0 * k));
    return k * t * t * t;
}

template <std::size_t N> bool looksUniform(const std::array<qint64, N> &counts, const char *what)
{
    const double expected = 1'000'000.0 / N;
    double sum = 0;
    for (const qint64 count : counts)
        sum += (count - expected) * (count - expected) / expected;
    qInfo("chi-square of the %s: %.1f (limit %.1f)", what, sum, chiSquareLimit(N - 1));
    return sum < chiSquareLimit(N - 1);
}

} // namespace

class TestVerificationCode : public QObject
{
    Q_OBJECT

private slots:
    // 2^32 holds 4772 whole blocks of 900000 words; words from the partial
    // block above 4294800000 would favour the lowest codes and are drawn again.
    void mapsWordsUniformlyOntoTheCodes_data()
    {
        QTest::addColumn<QList<quint32>>("words");
        QTest::addColumn<quint32>("code");
        QTest::newRow("zero") << QList<quint32>{0} << 100000u;
        QTest::newRow("end of a block") << QList<quint32>{899999} << 999999u;
        QTest::newRow("next block") << QList<quint32>{1234567} << 434567u;
        QTest::newRow("last whole block") << QList<quint32>{4294799999u} << 999999u;
        QTest::newRow("partial block") << QList<quint32>{0xFFFFFFFFu, 4294800000u, 7} << 100007u;
    }
    void mapsWordsUniformlyOntoTheCodes()
    {
        QFETCH(QList<quint32>, words);
        QFETCH(quint32, code);
        int taken = 0;
        QCOMPARE(VerificationCode::fromWords([&] { return words.at(taken++); }), code);
        QCOMPARE(taken, words.size());
    }

    // A million system codes: six digits, no leading zero, both ends of the
    // range reached, leading digit, last digit and 900 bands spread evenly.
    void millionSystemCodesAreUniform()
    {
        std::array<qint64, 9> leading{};
        std::array<qint64, 10> last{};
        std::array<qint64, 900> bands{};
        quint32 lowest = UINT32_MAX, highest = 0;
        for (int i = 0; i < 1'000'000; ++i) {
            const QString code = VerificationCode::generate();
            bool isNumber = false;
            const quint32 value = code.toUInt(&isNumber);
            if (code.size() != 6 || !isNumber || code.front() == u'0' || value < 100000)
                QFAIL(qPrintable(QStringLiteral("not a six-digit code: \"%1\"").arg(code)));
            ++leading[code.front().digitValue() - 1];
            ++last[code.back().digitValue()];
            ++bands[(value - 100000) / 1000];
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
        // Missing either end by more than 100 has odds near e^-111.
        QVERIFY2(lowest < 100100 && highest > 999899,
                 qPrintable(QStringLiteral("%1..%2").arg(lowest).arg(highest)));
        QVERIFY(looksUniform(leading, "leading digit"));
        QVERIFY(looksUniform(last, "last digit"));
        QVERIFY(looksUniform(bands, "900 bands"));
    }
};

QTEST_GUILESS_MAIN(TestVerificationCode)
#include "tst_verificationcode.moc"
