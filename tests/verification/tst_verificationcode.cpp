// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VerificationCode.h"

#include <QList>
#include <QSet>
#include <QTest>

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

    // Fresh codes are six digits from a source that varies: a thousand of
    // 900000 codes repeat one another about once, a fixed or narrow source at once.
    void systemCodesAreSixDigitsAndVary()
    {
        QSet<QString> codes;
        for (int i = 0; i < 1000; ++i) {
            const QString code = VerificationCode::generate();
            bool digits = false;
            QVERIFY2(code.size() == 6 && code.toUInt(&digits) >= 100000 && digits,
                     qPrintable(code));
            codes.insert(code);
        }
        QVERIFY2(codes.size() >= 990, qPrintable(QString::number(codes.size())));
    }
};

QTEST_GUILESS_MAIN(TestVerificationCode)
#include "tst_verificationcode.moc"
