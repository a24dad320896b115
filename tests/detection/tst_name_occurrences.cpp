// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicate test's automaton against the plain search it replaces, on
// random names and lines of random levels over a small alphabet (so that
// names overlap, nest and repeat).

#include "detection/NameOccurrences.h"

#include <QRandomGenerator>
#include <QTest>

class NameOccurrencesTest : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithPlainSearch()
    {
        QRandomGenerator random(20261207);
        const auto text = [&](int maxLength) {
            QString t;
            for (int n = 1 + random.bounded(maxLength); n > 0; --n)
                t.append(QChar(std::u16string_view(u"abc\u00E9\U0001F680")[random.bounded(6)]));
            return t;
        };
        for (int round = 0; round < 300; ++round) {
            QStringList names;
            for (int i = random.bounded(1, 12); i > 0; --i)
                names << text(5);
            QStringList lines;
            NameOccurrences occurrences(names);
            QList<int> lineLevels;
            for (int line = 0; line < 8; ++line) {
                lines << text(20);
                lineLevels << random.bounded(NameOccurrences::levels);
                occurrences.addLine(lines.last(), line, lineLevels.last());
                for (qsizetype n = 0; n < names.size(); ++n) {
                    for (int level = 0; level < NameOccurrences::levels; ++level) {
                        int expected = -1;
                        for (qsizetype l = 0; l < lines.size() && expected < 0; ++l)
                            expected = lineLevels[l] >= level && lines[l].contains(names[n])
                                           ? int(l)
                                           : -1;
                        QCOMPARE(occurrences.firstLine(n, level), expected);
                    }
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(NameOccurrencesTest)
#include "tst_name_occurrences.moc"
